#include "SimModel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace sim {

namespace {

// Values that are kept apart when a file is written or read: offsets go first, because a set temperature
// is what the transducer measures with its corrections applied.
const char* const FirstKeys[] = {"zerooffset", "nsxoffset"};

bool Skipped(const QString& key) {
    return key == QLatin1String("type") || key == QLatin1String("calstep");
}

QString JsonText(const QJsonValue& v) {
    if (v.isString())
        return v.toString();
    if (v.isBool())
        return QString::fromLatin1(v.toBool() ? "1" : "0");
    if (v.isDouble()) {
        const double d = v.toDouble();
        if (d == double(qint64(d)))
            return QString::number(qint64(d));
        return QString::number(d, 'g', 12);
    }
    if (v.isNull())
        return QStringLiteral("none");
    return {};
}

// Keys of a device of another kind that are not written or read as values of their own.
bool ForeignSkipped(const QString& key) {
    return key == QLatin1String("kind") || key == QLatin1String("address");
}

// Registers of a device of another kind: {"0": 230, "49": 5} in the file, "0=230 49=5" as a value.
QString RegistersText(const QJsonValue& v, bool* ok) {
    *ok = v.isObject();
    QStringList parts;
    const QJsonObject o = v.toObject();
    for (auto it = o.begin(); it != o.end(); ++it) {
        if (!it.value().isDouble()) {
            *ok = false;
            break;
        }
        parts << it.key() + QLatin1Char('=') + JsonText(it.value());
    }
    return parts.join(QLatin1Char(' '));
}

// Sets the device's values from the file's keys in the given order; an error text, empty on success.
QString ApplyKeys(Device& d, const QJsonObject& o, const QStringList& order, bool (*skipped)(const QString&)) {
    for (const QString& key : order) {
        if (!d.hasKey(key) || skipped(key))
            return QStringLiteral("unknown key \"%1\"").arg(key);
        QString value = JsonText(o.value(key));
        if (key == QLatin1String("registers")) {
            bool ok = false;
            value = RegistersText(o.value(key), &ok);
            if (!ok)
                return QStringLiteral("\"registers\" must be an object of \"REGISTER\": VALUE");
        }
        const QString err = d.set(key, value);
        if (!err.isEmpty())
            return err;
    }
    return {};
}

QJsonObject RegistersObject(const ForeignDevice& d) {
    QJsonObject o;
    for (const auto& [reg, value] : d.values)
        if (value != 0)
            o.insert(QString::number(reg), int(value));
    return o;
}

} // namespace

std::vector<Device*> BusModel::at(int address) const {
    std::vector<Device*> found;
    for (const auto& t : transducers)
        if (t->address == address)
            found.push_back(t.get());
    for (const auto& d : foreign)
        if (d->address == address)
            found.push_back(d.get());
    return found;
}

Model DefaultModel() {
    Model m;
    BusModel b0;
    b0.rate = 19200;
    auto t118 = MakeTransducer(118, 1, 19200);
    t118->setTemperature = 12.5;
    t118->drift = 0.3;
    t118->set(QStringLiteral("sensorname"), QStringLiteral("ТСП-100 №1"));
    t118->set(QStringLiteral("sensornumber"), QStringLiteral("118001"));
    auto t115 = MakeTransducer(115, 5, 19200);
    t115->setTemperature = 150.0;
    t115->drift = 0.5;
    t115->set(QStringLiteral("sensorname"), QStringLiteral("ТХА (K) №7"));
    t115->set(QStringLiteral("sensornumber"), QStringLiteral("115007"));
    b0.transducers.push_back(std::move(t118));
    b0.transducers.push_back(std::move(t115));
    BusModel b1;
    b1.rate = 1200;
    auto t77 = MakeTransducer(77, 3, 1200);
    t77->drift = 0.2;
    auto t78 = MakeTransducer(78, 4, 1200);
    t78->setTemperature = 40.0;
    t78->drift = 0.2;
    t78->set(QStringLiteral("sensornumber"), QStringLiteral("1002"));
    b1.transducers.push_back(std::move(t77));
    b1.transducers.push_back(std::move(t78));
    m.buses.push_back(std::move(b0));
    m.buses.push_back(std::move(b1));
    return m;
}

std::optional<Model> LoadModel(const QByteArray& json, QString* error) {
    const auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return std::nullopt;
    };
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &pe);
    if (pe.error != QJsonParseError::NoError)
        return fail(QStringLiteral("not valid JSON at offset %1: %2").arg(pe.offset).arg(pe.errorString()));
    if (!doc.isObject() || !doc.object().value(QLatin1String("buses")).isArray())
        return fail(QStringLiteral("the file must be an object with an array \"buses\""));
    const QJsonArray buses = doc.object().value(QLatin1String("buses")).toArray();
    if (buses.isEmpty())
        return fail(QStringLiteral("\"buses\" is empty"));
    Model m;
    for (int bi = 0; bi < buses.size(); ++bi) {
        const QString where = QStringLiteral("bus %1").arg(bi);
        if (!buses[bi].isObject())
            return fail(where + QStringLiteral(": must be an object"));
        const QJsonObject bo = buses[bi].toObject();
        BusModel bus;
        for (auto it = bo.begin(); it != bo.end(); ++it)
            if (it.key() != QLatin1String("rate") && it.key() != QLatin1String("link") &&
                it.key() != QLatin1String("pace") && it.key() != QLatin1String("transducers") &&
                it.key() != QLatin1String("foreign"))
                return fail(where + QStringLiteral(": unknown key \"%1\" (known: rate link pace transducers "
                                                   "foreign)")
                                        .arg(it.key()));
        if (bo.contains(QLatin1String("rate"))) {
            const int rate = bo.value(QLatin1String("rate")).toInt(-1);
            if (BaudCode(rate) == 0)
                return fail(where +
                            QStringLiteral(": rate %1 is not one of 1200 2400 4800 9600 19200 38400 57600")
                                .arg(JsonText(bo.value(QLatin1String("rate")))));
            bus.rate = rate;
        }
        if (bo.contains(QLatin1String("link"))) {
            bus.link = bo.value(QLatin1String("link")).toString();
            if (bus.link.isEmpty() || bus.link.contains(QLatin1Char('/')) ||
                bus.link.startsWith(QLatin1Char('.')))
                return fail(where + QStringLiteral(": \"link\" must be a plain file name"));
        }
        if (bo.contains(QLatin1String("pace"))) {
            if (!bo.value(QLatin1String("pace")).isBool())
                return fail(where + QStringLiteral(": \"pace\" must be true or false"));
            bus.pace = bo.value(QLatin1String("pace")).toBool();
        }
        if (bo.contains(QLatin1String("transducers")) && !bo.value(QLatin1String("transducers")).isArray())
            return fail(where + QStringLiteral(": \"transducers\" must be an array"));
        const QJsonArray ts = bo.value(QLatin1String("transducers")).toArray();
        for (int ti = 0; ti < ts.size(); ++ti) {
            const QString twhere = where + QStringLiteral(", transducer %1").arg(ti);
            if (!ts[ti].isObject())
                return fail(twhere + QStringLiteral(": must be an object"));
            const QJsonObject to = ts[ti].toObject();
            const int type = to.value(QLatin1String("type")).toInt(-1);
            if (!IsNewerType(type) && !IsOlderType(type))
                return fail(twhere +
                            QStringLiteral(": \"type\" must be one of 77 78 113 114 115 116 117 118"));
            const int address = to.value(QLatin1String("address")).toInt(-1);
            if (address < 1 || address > 247)
                return fail(twhere + QStringLiteral(": \"address\" must be 1..247"));
            const int rate = to.contains(QLatin1String("rate")) ? to.value(QLatin1String("rate")).toInt(-1)
                                                                : (IsOlderType(type) ? 1200 : bus.rate);
            auto t = MakeTransducer(type, address, 0);
            if (BaudCode(rate) == 0 || (IsOlderType(type) && rate != 1200) ||
                (IsNewerType(type) && !HasBaudRateChoice(type) && rate != 9600))
                return fail(twhere +
                            QStringLiteral(": rate %1 is not possible for type %2").arg(rate).arg(type));
            t->rate = rate;
            QStringList order;
            for (const char* k : FirstKeys)
                if (to.contains(QLatin1String(k)))
                    order << QString::fromLatin1(k);
            for (auto it = to.begin(); it != to.end(); ++it)
                if (!order.contains(it.key()) && it.key() != QLatin1String("type") &&
                    it.key() != QLatin1String("address") && it.key() != QLatin1String("rate"))
                    order << it.key();
            const QString err = ApplyKeys(*t, to, order, Skipped);
            if (!err.isEmpty())
                return fail(twhere + QStringLiteral(": ") + err);
            bus.transducers.push_back(std::move(t));
        }
        if (bo.contains(QLatin1String("foreign")) && !bo.value(QLatin1String("foreign")).isArray())
            return fail(where + QStringLiteral(": \"foreign\" must be an array"));
        const QJsonArray fs = bo.value(QLatin1String("foreign")).toArray();
        for (int fi = 0; fi < fs.size(); ++fi) {
            const QString fwhere = where + QStringLiteral(", foreign device %1").arg(fi);
            if (!fs[fi].isObject())
                return fail(fwhere + QStringLiteral(": must be an object"));
            const QJsonObject fo = fs[fi].toObject();
            auto d = std::make_unique<ForeignDevice>();
            const int address = fo.value(QLatin1String("address")).toInt(-1);
            if (address < 1 || address > 247)
                return fail(fwhere + QStringLiteral(": \"address\" must be 1..247"));
            d->address = address;
            d->rate = bus.rate;
            // The range first, so that it holds whatever order the file gives.
            QStringList order{QStringLiteral("count"), QStringLiteral("first")};
            order.erase(std::remove_if(order.begin(), order.end(),
                                       [&](const QString& k) { return !fo.contains(k); }),
                        order.end());
            for (auto it = fo.begin(); it != fo.end(); ++it)
                if (!order.contains(it.key()) && it.key() != QLatin1String("address"))
                    order << it.key();
            const QString err = ApplyKeys(*d, fo, order, ForeignSkipped);
            if (!err.isEmpty())
                return fail(fwhere + QStringLiteral(": ") + err);
            bus.foreign.push_back(std::move(d));
        }
        m.buses.push_back(std::move(bus));
    }
    return m;
}

QByteArray SaveModel(const Model& model) {
    QJsonArray buses;
    for (const BusModel& bus : model.buses) {
        QJsonObject bo;
        bo.insert(QLatin1String("rate"), bus.rate);
        if (!bus.link.isEmpty())
            bo.insert(QLatin1String("link"), bus.link);
        if (!bus.pace)
            bo.insert(QLatin1String("pace"), false);
        QJsonArray ts;
        for (const auto& t : bus.transducers) {
            QJsonObject to;
            to.insert(QLatin1String("type"), t->typeCode);
            for (const QString& key : t->keys()) {
                if (Skipped(key))
                    continue;
                QString value = t->get(key, 0);
                // Measured values computed from the temperature are not fixed by a save.
                if (key == QLatin1String("raw")) {
                    const auto* n = dynamic_cast<const NewerTransducer*>(t.get());
                    if (!n || !n->rawOverride)
                        continue;
                } else if (key == QLatin1String("resistance")) {
                    const auto* o = dynamic_cast<const OlderTransducer*>(t.get());
                    if (!o || !o->resistanceOverride)
                        continue;
                } else if (key == QLatin1String("temp")) {
                    value = t->temperatureNone
                                ? QStringLiteral("none")
                                : QString::number(t->setTemperature + (t->zeroOffset + t->nsxOffset) / 100.0,
                                                  'f', 2);
                }
                bool isNumber = false;
                const qlonglong n = value.toLongLong(&isNumber);
                if (isNumber && QString::number(n) == value)
                    to.insert(key, n);
                else
                    to.insert(key, value);
            }
            ts.append(to);
        }
        bo.insert(QLatin1String("transducers"), ts);
        QJsonArray fs;
        for (const auto& d : bus.foreign) {
            QJsonObject fo;
            fo.insert(QLatin1String("address"), d->address);
            for (const QString& key : d->keys()) {
                if (ForeignSkipped(key))
                    continue;
                if (key == QLatin1String("registers")) {
                    fo.insert(key, RegistersObject(*d));
                    continue;
                }
                const QString value = d->get(key, 0);
                bool isNumber = false;
                const qlonglong n = value.toLongLong(&isNumber);
                if (isNumber && QString::number(n) == value && key != QLatin1String("id"))
                    fo.insert(key, n);
                else
                    fo.insert(key, value);
            }
            fs.append(fo);
        }
        if (!fs.isEmpty())
            bo.insert(QLatin1String("foreign"), fs);
        buses.append(bo);
    }
    QJsonObject root;
    root.insert(QLatin1String("buses"), buses);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

} // namespace sim
