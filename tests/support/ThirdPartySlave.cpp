#include "ThirdPartySlave.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QStringList>
#include <csignal>
#include <sys/prctl.h>

#ifndef TARVO_PYMODBUS_SLAVE
#error "TARVO_PYMODBUS_SLAVE must name the slave's script"
#endif

namespace {

// Debian's own interpreter: the one python3-pymodbus is installed for, whatever else is on PATH.
const char* const Python = "/usr/bin/python3";

void Stop(std::unique_ptr<QProcess>& p, QByteArray* errors) {
    if (!p)
        return;
    if (p->state() != QProcess::NotRunning) {
        p->closeWriteChannel();
        if (!p->waitForFinished(3000)) {
            p->terminate();
            if (!p->waitForFinished(3000)) {
                p->kill();
                p->waitForFinished(2000);
            }
        }
    }
    *errors += p->readAllStandardError();
    p.reset();
}

} // namespace

ThirdPartySlave::ThirdPartySlave() : ThirdPartySlave(Options()) {}

ThirdPartySlave::ThirdPartySlave(Options options)
    : options_(std::move(options)), dir_(QStringLiteral("/tmp/tslave-XXXXXX")) {}

ThirdPartySlave::~ThirdPartySlave() {
    stop();
}

bool ThirdPartySlave::start(QString* error) {
    const auto fail = [&](const QString& text) {
        stop();
        if (error)
            *error = text + QStringLiteral("\n") + QString::fromLocal8Bit(errors_);
        return false;
    };
    if (slave_)
        return true;
    if (!dir_.isValid())
        return fail(QStringLiteral("no temporary folder: ") + dir_.errorString());
    const QString slaveEnd = dir_.filePath(QStringLiteral("slave"));
    const auto childSetup = [] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); }; // no orphans if the test dies

    socat_ = std::make_unique<QProcess>();
    socat_->setChildProcessModifier(childSetup);
    socat_->start(QStringLiteral("socat"),
                  {QStringLiteral("-d"), QStringLiteral("-d"),
                   QStringLiteral("pty,raw,echo=0,link=") + slaveEnd,
                   QStringLiteral("pty,raw,echo=0,link=") + portPath()});
    if (!socat_->waitForStarted(5000))
        return fail(QStringLiteral("cannot start socat (is it installed? scripts/deps.sh): ") +
                    socat_->errorString());
    QDeadlineTimer deadline(5000);
    QByteArray socatLog;
    while (!socatLog.contains("starting data transfer loop")) {
        if (socat_->state() != QProcess::Running || deadline.hasExpired())
            return fail(QStringLiteral("socat did not make its pty pair: ") + QString::fromLocal8Bit(socatLog));
        socat_->waitForReadyRead(50);
        socatLog += socat_->readAllStandardError();
    }

    QStringList args{QStringLiteral(TARVO_PYMODBUS_SLAVE),
                     QStringLiteral("--port"),
                     slaveEnd,
                     QStringLiteral("--line"),
                     portPath(),
                     QStringLiteral("--address"),
                     QString::number(options_.address),
                     QStringLiteral("--rate"),
                     QString::number(options_.rate),
                     QStringLiteral("--first"),
                     QString::number(options_.first),
                     QStringLiteral("--count"),
                     QString::number(options_.count)};
    QStringList regs;
    for (const auto& [reg, value] : options_.registers)
        regs << QStringLiteral("%1=%2").arg(reg).arg(value);
    if (!regs.isEmpty())
        args << QStringLiteral("--registers") << regs.join(QLatin1Char(','));
    if (!options_.identity.isEmpty())
        args << QStringLiteral("--identity") << QString::fromLatin1(options_.identity);
    slave_ = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("PYTHONPATH"));
    env.remove(QStringLiteral("PYTHONHOME"));
    env.insert(QStringLiteral("PYTHONDONTWRITEBYTECODE"), QStringLiteral("1"));
    slave_->setProcessEnvironment(env);
    slave_->setChildProcessModifier(childSetup);
    slave_->start(QString::fromLatin1(Python), args);
    if (!slave_->waitForStarted(5000))
        return fail(QStringLiteral("cannot start %1: %2").arg(QString::fromLatin1(Python), slave_->errorString()));
    // Importing pymodbus takes a while on a slow machine.
    deadline = QDeadlineTimer(20000);
    while (!slave_->canReadLine()) {
        if (slave_->state() != QProcess::Running || deadline.hasExpired()) {
            errors_ += slave_->readAllStandardError();
            return fail(QStringLiteral("the pymodbus slave did not start (python3-pymodbus and "
                                       "python3-serial-asyncio installed? scripts/deps.sh)"));
        }
        slave_->waitForReadyRead(100);
    }
    const QByteArray line = slave_->readLine().trimmed();
    if (line != "ready")
        return fail(QStringLiteral("the pymodbus slave: ") + QString::fromLocal8Bit(line));
    return true;
}

QString ThirdPartySlave::portPath() const {
    return dir_.filePath(QStringLiteral("line"));
}

QString ThirdPartySlave::command(const QString& line, int timeoutMs) {
    if (!slave_ || slave_->state() != QProcess::Running)
        return QStringLiteral("error the slave is not running");
    slave_->write(line.toUtf8() + '\n');
    QDeadlineTimer deadline(timeoutMs);
    while (!slave_->canReadLine()) {
        if (slave_->state() != QProcess::Running || deadline.hasExpired())
            return QStringLiteral("error no reply to '%1'").arg(line);
        slave_->waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    }
    return QString::fromUtf8(slave_->readLine().trimmed());
}

std::optional<QList<quint16>> ThirdPartySlave::registers(int start, int count) {
    const QString reply = command(QStringLiteral("regs %1 %2").arg(start).arg(count));
    if (!reply.startsWith(QLatin1String("ok ")))
        return std::nullopt;
    QList<quint16> values;
    for (const QString& v : reply.mid(3).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        values << quint16(v.toUInt(nullptr, 16));
    if (values.size() != count)
        return std::nullopt;
    return values;
}

QList<int> ThirdPartySlave::functionsHeard() {
    QList<int> codes;
    const QString reply = command(QStringLiteral("heard"));
    for (const QString& v : reply.mid(3).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        codes << v.toInt();
    return codes;
}

QByteArray ThirdPartySlave::received() {
    const QString reply = command(QStringLiteral("rx"));
    return reply.startsWith(QLatin1String("ok")) ? QByteArray::fromHex(reply.mid(2).toLatin1()) : QByteArray();
}

bool ThirdPartySlave::clearLogs() {
    return command(QStringLiteral("clear")) == QLatin1String("ok");
}

void ThirdPartySlave::stop() {
    Stop(slave_, &errors_); // its standard input closes: it shuts down by itself
    if (socat_) {
        socat_->terminate(); // SIGTERM: socat removes its links
        if (!socat_->waitForFinished(3000)) {
            socat_->kill();
            socat_->waitForFinished(2000);
        }
        errors_ += socat_->readAllStandardError();
        socat_.reset();
    }
}

QByteArray ThirdPartySlave::errorOutput() {
    if (slave_)
        errors_ += slave_->readAllStandardError();
    return errors_;
}
