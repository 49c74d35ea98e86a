// "Журнал обслуживания": the connected transducer's history newest first, the search by sensor number
// or name, the certificate of a calibration entry, and the settings both programs share (operator,
// months to the next check).
#pragma once

#include "ServiceLogModel.h"
#include "ServiceUiHooks.h"

#include <QWidget>

#include <memory>
#include <optional>

class QAction;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTableView;

namespace servicerecord {

class TServiceRecord;

class ServiceLogWindow : public QWidget {
    Q_OBJECT
public:
    ServiceLogWindow(TServiceRecord& record, TServiceUiHooks& hooks, QWidget* parent = nullptr);

    // Shows the history of `transducer` (the connected one), or every entry when there is none.
    void ShowTransducer(const std::optional<TTransducerId>& transducer);
    // The entries of the transducers whose sensor number is `text` or whose name contains it.
    void Search(const QString& text);

    const TServiceLogModel& Model() const { return model_; }
    QTableView* Table() const { return table_; }
    // The certificate of the selected calibration entry, modal.
    void OpenCertificate();

private:
    void Load(const std::optional<TTransducerId>& transducer, const QString& search);
    void SelectionChanged();
    const TLogEntry* Selected() const;

    TServiceRecord& record_;
    TServiceUiHooks& hooks_;
    std::unique_ptr<TServiceQuery> query_; // the reading connection the rows come from
    TServiceLogModel model_;
    std::optional<TTransducerId> current_;
    QLineEdit* search_ = nullptr;
    QTableView* table_ = nullptr;
    QLabel* status_ = nullptr;
    QLineEdit* operator_ = nullptr;
    QSpinBox* months_ = nullptr;
    QAction* certificate_ = nullptr;
    QAction* showCurrent_ = nullptr;
};

} // namespace servicerecord
