#ifndef TAVO_DIALOGS_PROGRESS_H
#define TAVO_DIALOGS_PROGRESS_H

#include <QIODevice>

// How long work (a picture load or save, a G-code file) tells how far it has
// got and learns whether it should stop. The work calls proceed() now and
// then; once a call returns false the work gives up, leaves no file behind
// and reports "cancelled" rather than a failure. Work given no report runs
// exactly as it always has.
class ProgressReport
{
public:
    virtual ~ProgressReport() = default;

    // fraction runs from 0 to 1; a negative one means "not known". False asks
    // the work to stop, and every later call is false as well.
    bool proceed(double fraction)
    {
        if (!m_stopped)
            m_stopped = !report(fraction);
        return !m_stopped;
    }
    bool stopped() const { return m_stopped; }

protected:
    // Called with every fraction until it returns false.
    virtual bool report(double fraction) = 0;

private:
    bool m_stopped = false;
};

// proceed() for step `done` of `count`, asked about every 1/256 of the way
// only, so a loop can call it on every row. Always true without a report.
inline bool proceedAt(ProgressReport* report, qint64 done, qint64 count)
{
    if (!report || count <= 0)
        return true;
    const qint64 band = count / 256 + 1;
    return done % band != 0 ? !report->stopped() : report->proceed(double(done) / double(count));
}

// A device between a decoder or an encoder and its file: it passes reads and
// writes through and reports the share of expectedBytes moved so far. Once a
// stop is asked every read and write fails, which makes the codec give up.
// Open it with the same mode as the inner device, plus Unbuffered.
class ProgressDevice final : public QIODevice
{
public:
    ProgressDevice(QIODevice* inner, qint64 expectedBytes, ProgressReport* report);

    bool isSequential() const override { return m_inner->isSequential(); }
    qint64 size() const override { return m_inner->size(); }
    bool seek(qint64 position) override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    bool moved(qint64 bytes);

    QIODevice* m_inner;
    qint64 m_expected;
    qint64 m_moved = 0;
    ProgressReport* m_report;
};

#endif
