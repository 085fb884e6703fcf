#pragma once

#include "tools/hwmaint/McsReader.h"

#include <QSet>
#include <QString>
#include <QStringList>

// The tool's FPGA commands: fpgaupdate (update), fpgaverify (verify) and flash (spiFlashCommand)
// on the configuration flash. The whole MCS file is read and checked (every record, the end
// record, no overlap, every address inside the flash as its identification gives it) before the
// flash is touched. Progress and results go to standard output, problems to standard error
// (Console). Each returns the tool's exit code: Success, Mismatch (read-back differed from the
// file) or Failed (a file, device, erase or program failure; an update stops at the first).
class fpgaTools
{
public:
    enum Exit { Success = 0, Mismatch = 1, Failed = 2 };

    fpgaTools() = default;

    // Switches the flash access line, setting up the panel's lines first when that has not
    // happened since boot (and then waiting 100 ms). Returns 0 or a negative errno.
    int spiFlashEnable(bool on);
    // Erases (the chip, or with m_blockErase each 64 KB block as its upper-address record comes),
    // programs every data record of the first file and reads it back.
    int update(const QStringList &files);
    // Reads every data record of the first file back and compares.
    int verify(const QStringList &files);
    // "rdid", "res" or "ce".
    int spiFlashCommand(const QString &operation);

    bool m_message = false; // print every record; no progress dots
    bool m_lsbFirst = false; // reverse the bit order of every data byte
    bool m_blockErase = false; // erase 64 KB blocks as they come instead of the whole chip first

    static constexpr int DotEvery = 200; // data records per progress dot

private:
    enum class Run { Update, Verify };
    int run(Run how, const QStringList &files);
    int load(const QStringList &files, QVector<McsReader::Line> *lines);
    int openFlash(unsigned int *size);
    int checkRange(const QVector<McsReader::Line> &lines, unsigned int size);
    int eraseBlock(unsigned int address);
    int program(const McsReader::Line &line);
    int readBack(const McsReader::Line &line); // 0 the same, 1 different, Failed
    int deviceFailure(const QString &what);
    void printRecord(const McsReader::Line &line);

    QString m_file;
    QSet<unsigned int> m_erased; // blocks erased in this run
};
