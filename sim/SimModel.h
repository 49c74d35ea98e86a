// The buses of the simulator and their transducers, read from and written to the bus file (JSON).
#pragma once

#include "SimCore.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace sim {

struct BusModel {
    int rate = 19200; // line rate the pty starts with (the program sets its own when it opens the port)
    QString link;     // name of the symlink in the link folder; "bus<index>" when empty
    bool pace = true; // replies paced at the character time; false: each reply (or piece) in one write
    std::vector<std::unique_ptr<Transducer>> transducers;
    std::vector<std::unique_ptr<ForeignDevice>> foreign; // devices of other kinds on the same line

    // Devices at this address (several when two share it, as on a real wrongly configured bus).
    std::vector<Device*> at(int address) const;
};

struct Model {
    std::vector<BusModel> buses;
};

// The default bus: bus 0 at 19200 bit/s with a 118 at address 1 and a 115 at address 5, bus 1 at
// 1200 bit/s with a 77 at address 3 and a 78 at address 4; temperatures drift slowly so the values look
// alive.
Model DefaultModel();

// Reads a bus file. On a fault returns nothing and sets `error` to a text naming the place and the problem.
std::optional<Model> LoadModel(const QByteArray& json, QString* error);

// Writes the buses and the transducers' state in the format LoadModel reads.
QByteArray SaveModel(const Model& model);

} // namespace sim
