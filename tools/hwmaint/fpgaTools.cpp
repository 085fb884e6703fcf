#include "tools/hwmaint/fpgaTools.h"

#include "tools/hwmaint/Console.h"
#include "tools/hwmaint/MX25_CMD.h"
#include "tools/hwmaint/PanelControl.h"

#include <QFile>
#include <QThread>

#include <cstring>

using namespace MX25_CMD;

namespace {
QString hex(quint32 value)
{
    return QStringLiteral("0x") + QString::number(value, 16);
}

QString bytes(const QByteArray &data)
{
    QString text;
    text.reserve(data.size() * 3);
    for (char c : data)
        text += QStringLiteral("%1 ").arg(quint8(c), 2, 16, QLatin1Char('0'));
    return text;
}

QString errnoText(int negativeErrno)
{
    return QString::fromLocal8Bit(std::strerror(-negativeErrno));
}

constexpr int ReadBackSame = 0;
constexpr int ReadBackDiffers = 1;
} // namespace

int fpgaTools::spiFlashEnable(bool on)
{
    if (!PanelControl::isIinitialized()) {
        PanelControl::initialize();
        QThread::msleep(100);
    }
    return PanelControl::spiFlashEnable(on);
}

int fpgaTools::update(const QStringList &files)
{
    return run(Run::Update, files);
}

int fpgaTools::verify(const QStringList &files)
{
    return run(Run::Verify, files);
}

int fpgaTools::run(Run how, const QStringList &files)
{
    QVector<McsReader::Line> lines;
    int rc = load(files, &lines);
    unsigned int size = 0;
    if (rc == Success)
        rc = openFlash(&size);
    if (rc == Success)
        rc = checkRange(lines, size);
    if (rc != Success) {
        if (size != 0)
            spiFlashEnable(false);
        return rc;
    }

    // Upper-address records erase their block only while updating in block mode.
    const bool blockErase = how == Run::Update && m_blockErase;
    bool blockZeroGuard = blockErase;
    m_erased.clear();
    bool differs = false;
    int records = 0;
    auto stop = [this, how](int code) {
        Console::endProgress();
        Console::errorLine(how == Run::Update
                ? QStringLiteral("%1: update stopped; the flash holds part of the file.")
                      .arg(m_file)
                : QStringLiteral("%1: verify stopped.").arg(m_file));
        spiFlashEnable(false);
        return code;
    };

    if (how == Run::Update && !blockErase) {
        rc = cmdChipErase();
        if (rc == DeviceError)
            deviceFailure(QStringLiteral(" (chip erase)"));
        if (rc != Done)
            return stop(Failed);
    }
    if (how == Run::Update)
        Console::print(QStringLiteral("executing page program."));

    for (const McsReader::Line &line : qAsConst(lines)) {
        if (line.kind == McsReader::Kind::LinearAddress) {
            if (blockErase && eraseBlock(line.address) != Success)
                return stop(Failed);
            printRecord(line);
            blockZeroGuard = blockZeroGuard && !line.blockZeroRecord;
            continue;
        }
        if (line.kind != McsReader::Kind::Data) {
            printRecord(line);
            continue;
        }
        printRecord(line);
        if (blockZeroGuard && line.address < BlockSize) {
            // A file that starts in block 0 without naming it still gets block 0 erased.
            if (eraseBlock(0) != Success)
                return stop(Failed);
            McsReader zero;
            printRecord(zero.decode(McsReader::BlockZeroRecord));
            blockZeroGuard = false;
        }
        if (how == Run::Update && program(line) != Success)
            return stop(Failed);
        if (!m_message && records % DotEvery == 0)
            Console::print(QStringLiteral("."));
        ++records;
        const int same = readBack(line);
        if (same == Failed)
            return stop(Failed);
        differs = differs || same == ReadBackDiffers;
    }
    Console::printLine(QStringLiteral("complete!"));
    spiFlashEnable(false);
    return differs ? Mismatch : Success;
}

int fpgaTools::load(const QStringList &files, QVector<McsReader::Line> *lines)
{
    m_file = files.value(0);
    QFile file(m_file);
    if (m_file.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        Console::errorLine(QStringLiteral("Connot open file for reading: ")
            + (m_file.isEmpty() ? QStringLiteral("no file given") : file.errorString()));
        return Failed;
    }
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        Console::errorLine(QStringLiteral("Connot open file for reading: ") + file.errorString());
        return Failed;
    }
    McsReader reader(m_lsbFirst);
    McsReader::Line bad;
    if (!reader.read(text, lines, &bad)) {
        Console::errorLine(bad.error);
        Console::errorLine(bad.number > 0
                ? QStringLiteral("%1: line %2 rejected; the flash is not touched.")
                      .arg(m_file)
                      .arg(bad.number)
                : QStringLiteral("%1: rejected; the flash is not touched.").arg(m_file));
        return Failed;
    }
    return Success;
}

// Switches the access line on and reads the flash's size from its identification; *size stays
// 0 when the line could not be switched.
int fpgaTools::openFlash(unsigned int *size)
{
    const int line = spiFlashEnable(true);
    if (line != 0) {
        Console::errorLine(
            QStringLiteral("Flash access line cannot be switched on: ") + errnoText(line));
        return Failed;
    }
    *size = 1;
    unsigned int id = 0;
    if (cmdReadIdentification(&id) != Done)
        return deviceFailure(QStringLiteral(" (identification)"));
    const unsigned int density = id & 0xFF;
    if (id == 0 || id == 0xFFFFFF || density < 0x10 || density > 0x1F) {
        Console::errorLine(QStringLiteral("Flash not found. (Identification: %1)").arg(hex(id)));
        return Failed;
    }
    *size = qMin(1u << density, FlashLimit);
    return Success;
}

int fpgaTools::checkRange(const QVector<McsReader::Line> &lines, unsigned int size)
{
    for (const McsReader::Line &line : lines) {
        const bool data = line.kind == McsReader::Kind::Data
            && quint64(line.address) + quint64(line.data.size()) > size;
        const bool block =
            m_blockErase && line.kind == McsReader::Kind::LinearAddress && line.address >= size;
        if (data || block) {
            Console::errorLine(
                QStringLiteral("Record beyond the flash size (%1 bytes).").arg(size));
            Console::errorLine(QStringLiteral("%1: line %2 rejected; the flash is not touched.")
                                   .arg(m_file)
                                   .arg(line.number));
            return Failed;
        }
    }
    return Success;
}

// Each block is erased once a run: a repeated upper-address record must not wipe what was
// programmed into its block already.
int fpgaTools::eraseBlock(unsigned int address)
{
    const unsigned int block = address & ~(BlockSize - 1);
    if (m_erased.contains(block))
        return Success;
    const int rc = cmdBE(block);
    switch (rc) {
    case Done:
        m_erased.insert(block);
        return Success;
    case Busy:
        Console::endProgress();
        Console::errorLine(QStringLiteral("Flash Is Busy. (block erase)"));
        break;
    case TimeOut:
        Console::endProgress();
        Console::errorLine(QStringLiteral("Flash Time Out. (block erase)"));
        break;
    case DeviceError:
        return deviceFailure(QStringLiteral(" (block erase)"));
    default:
        Console::errorLine(QStringLiteral("Flash Address Invalid. (block erase)"));
        break;
    }
    return Failed;
}

// A record that crosses a page boundary goes out as one program per page.
int fpgaTools::program(const McsReader::Line &line)
{
    int offset = 0;
    while (offset < line.data.size()) {
        const unsigned int address = line.address + unsigned(offset);
        const int chunk = qMin(line.data.size() - offset, int(PageSize - address % PageSize));
        const int rc = cmdPP(address, line.data.mid(offset, chunk));
        if (rc == DeviceError)
            return deviceFailure(QStringLiteral(" (page program)"));
        if (rc != Done)
            return Failed;
        offset += chunk;
    }
    return Success;
}

int fpgaTools::readBack(const McsReader::Line &line)
{
    QByteArray data;
    if (cmdRead(line.address, &data, unsigned(line.data.size())) != Done)
        return deviceFailure(QStringLiteral(" (read)"));
    if (data == line.data)
        return ReadBackSame;
    Console::errorLine(
        QStringLiteral("read: ") + hex(line.address) + QStringLiteral(" | ") + bytes(data));
    Console::errorLine(QStringLiteral("verify data failed."));
    return ReadBackDiffers;
}

int fpgaTools::deviceFailure(const QString &what)
{
    Console::endProgress();
    Console::errorLine(
        QStringLiteral("Flash device error%1: %2").arg(what, errnoText(lastError())));
    return Failed;
}

void fpgaTools::printRecord(const McsReader::Line &line)
{
    if (!m_message)
        return;
    switch (line.kind) {
    case McsReader::Kind::Data:
        Console::printLine(QStringLiteral("msc:  ") + hex(line.address) + QStringLiteral(" | ")
            + bytes(line.data));
        break;
    case McsReader::Kind::EndOfFile:
        Console::printLine(QStringLiteral("End of File Recoard"));
        break;
    case McsReader::Kind::SegmentAddress:
        Console::printLine(QStringLiteral("Extended Segment Address: ") + hex(line.value << 16));
        break;
    case McsReader::Kind::LinearAddress:
        Console::printLine(QStringLiteral("Extended Linear Address: ") + hex(line.address));
        break;
    default:
        break;
    }
}

int fpgaTools::spiFlashCommand(const QString &operation)
{
    static const QStringList operations = {
        QStringLiteral("rdid"), QStringLiteral("res"), QStringLiteral("ce")
    };
    if (!operations.contains(operation)) {
        Console::errorLine(
            QStringLiteral("Unknown flash operation \"%1\"; use -o rdid|res|ce.").arg(operation));
        return Failed;
    }
    const int line = spiFlashEnable(true);
    if (line != 0) {
        Console::errorLine(
            QStringLiteral("Flash access line cannot be switched on: ") + errnoText(line));
        return Failed;
    }
    int result = Success;
    if (operation == QLatin1String("rdid")) {
        unsigned int id = 0;
        if (cmdReadIdentification(&id) != Done)
            result = deviceFailure(QStringLiteral(" (identification)"));
        else
            Console::printLine(QStringLiteral("Identification: ") + hex(id));
    } else if (operation == QLatin1String("res")) {
        unsigned char signature = 0;
        if (cmdReadElectricIdentification(&signature) != Done)
            result = deviceFailure(QStringLiteral(" (electronic signature)"));
        else
            Console::printLine(QStringLiteral("Electric Identification: ") + hex(signature));
    } else {
        const int rc = cmdChipErase();
        if (rc == Busy)
            Console::errorLine(QStringLiteral("Flash Is Busy. (CE)"));
        else if (rc == TimeOut)
            Console::errorLine(QStringLiteral("Flash Time Out. (CE)"));
        else if (rc == DeviceError)
            deviceFailure(QStringLiteral(" (chip erase)"));
        result = rc == Done ? Success : Failed;
    }
    spiFlashEnable(false);
    return result;
}
