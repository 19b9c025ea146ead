// The form loads, and every on_<name>_<signal> slot finds its object and
// signal: connectSlotsByName only warns, so a renamed widget would leave its
// command silently dead.

#include "tavomaintest.h"

#include <QMetaMethod>

class FormTest : public QObject, protected WindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { silenceOffscreenNoise(); }
    void init() { setUpWindow(); }
    void cleanup() { tearDownWindow(); }

    void everySlotHasItsSignal()
    {
        const QMetaObject* meta = window->metaObject();
        int count = 0;
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            const QMetaMethod slot = meta->method(i);
            const QString name = slot.name();
            if (!name.startsWith("on_"))
                continue;
            ++count;
            const int split = name.lastIndexOf('_');
            const QString sender = name.mid(3, split - 3);
            const QByteArray signal =
                name.mid(split + 1).toLatin1() + slot.methodSignature().mid(slot.name().size());
            QObject* object = window->findChild<QObject*>(sender);
            QVERIFY2(object && object->metaObject()->indexOfSignal(signal) >= 0,
                     qPrintable(sender + "." + signal));
        }
        QVERIFY(count >= 12);
    }
};

QTEST_MAIN(FormTest)
#include "tst_form.moc"
