#include <QtTest>

#include <QComboBox>
#include <QTableWidget>

#include "channelsconfigwidget.h"
#include "deviceconfig.h"
#include "singlechconfigwidget.h"

typedef QList<int> Ints;

static Ints repeated(int n, int v)
{
    Ints l;
    for (int i = 0; i < n; ++i)
        l << v;
    return l;
}

// Channel indexes whose enabled flag is set in the model.
static Ints enabledChannels(const DeviceConfig &cfg)
{
    Ints on;
    for (int i = 0; i < DeviceConfig::ChannelCount; ++i) {
        if (cfg.channels[i].enabled)
            on << i;
    }
    return on;
}

static Ints allRanges(const DeviceConfig &cfg)
{
    Ints r;
    for (const DeviceConfig::ChannelCfg &ch : cfg.channels)
        r << ch.range;
    return r;
}

class TestChannelsConfigWidget : public QObject
{
    Q_OBJECT

private slots:
    void summaryRow_data();
    void summaryRow();
    void checkAll_data();
    void checkAll();
    void allRangeSetsEveryChannel();
    void ch16ForUrefDisablesRow16();
    void singleChannel_data();
    void singleChannel();
    void singleChannelKeepsSelectorsWithoutEnabledChannel();
};

void TestChannelsConfigWidget::summaryRow_data()
{
    QTest::addColumn<Ints>("enabled");
    QTest::addColumn<Ints>("ranges70"); // channels at 70 mV, the rest at 35 mV
    QTest::addColumn<bool>("ch16ForUref");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("allRangeIndex");

    Ints all15, all16;
    for (int i = 0; i < 16; ++i)
        (i < 15 ? all15 : all16) << i;
    all16 = all15 + all16;
    QTest::newRow("none") << Ints() << Ints() << false << int(Qt::Unchecked) << 0;
    QTest::newRow("1..3 partial") << Ints{0, 1, 2} << Ints() << false << int(Qt::PartiallyChecked)
                                  << 0;
    QTest::newRow("all, 70 mV") << all16 << all16 << false << int(Qt::Checked) << 1;
    QTest::newRow("mixed ranges blank") << all16 << Ints{4} << false << int(Qt::Checked) << -1;
    // A reserved channel 16 counts neither for the state nor for the range.
    QTest::newRow("1..15, 16 reserved") << all15 << Ints{15} << true << int(Qt::Checked) << 0;
}

void TestChannelsConfigWidget::summaryRow()
{
    QFETCH(Ints, enabled);
    QFETCH(Ints, ranges70);
    QFETCH(bool, ch16ForUref);
    QFETCH(int, state);
    QFETCH(int, allRangeIndex);

    DeviceConfig cfg;
    cfg.setCh16ForUref(ch16ForUref);
    for (int i : enabled)
        cfg.setChannelEnabled(i, true);
    for (int i : ranges70)
        cfg.setChannelRange(i, GRV480_RANGE_70MV);
    ChannelsConfigWidget w;
    w.setConfig(&cfg);
    w.showConfig();

    QCOMPARE(int(w.allChannelsTable()->item(0, 0)->checkState()), state);
    QCOMPARE(w.allChannelsRangeBox()->currentIndex(), allRangeIndex);
    // Showing writes nothing new into the model.
    QCOMPARE(enabledChannels(cfg), enabled);
}

void TestChannelsConfigWidget::checkAll_data()
{
    QTest::addColumn<bool>("ch16ForUref");
    QTest::addColumn<int>("click");
    QTest::addColumn<int>("expectedCount");

    QTest::newRow("check") << false << int(Qt::Checked) << 16;
    QTest::newRow("check, 16 reserved") << true << int(Qt::Checked) << 15;
    QTest::newRow("uncheck") << false << int(Qt::Unchecked) << 0;
    // Set on a checked summary: no channel follows a partial state.
    QTest::newRow("partial changes nothing") << false << int(Qt::PartiallyChecked) << 16;
}

void TestChannelsConfigWidget::checkAll()
{
    QFETCH(bool, ch16ForUref);
    QFETCH(int, click);
    QFETCH(int, expectedCount);

    DeviceConfig cfg;
    cfg.setCh16ForUref(ch16ForUref);
    for (int i : {0, 1, 2})
        cfg.setChannelEnabled(i, true);
    ChannelsConfigWidget w;
    w.setConfig(&cfg);
    w.showConfig();
    QTableWidgetItem *all = w.allChannelsTable()->item(0, 0);
    QCOMPARE(all->checkState(), Qt::PartiallyChecked);
    if (click == Qt::PartiallyChecked) {
        all->setCheckState(Qt::Checked);
        QCOMPARE(cfg.enabledChannelCount(), 16);
    }
    all->setCheckState(Qt::CheckState(click));

    QCOMPARE(cfg.enabledChannelCount(), expectedCount);
    QTableWidgetItem *row16 = w.channelTable()->item(15, 0);
    QCOMPARE(row16->flags().testFlag(Qt::ItemIsEnabled), !ch16ForUref);
    QCOMPARE(w.rangeBox(15)->isEnabled(), !ch16ForUref);
    if (ch16ForUref)
        QCOMPARE(row16->checkState(), Qt::Unchecked);
}

void TestChannelsConfigWidget::allRangeSetsEveryChannel()
{
    DeviceConfig cfg;
    cfg.setChannelRange(3, GRV480_RANGE_70MV);
    ChannelsConfigWidget w;
    w.setConfig(&cfg);
    w.showConfig();
    QCOMPARE(w.allChannelsRangeBox()->currentIndex(), -1);

    w.allChannelsRangeBox()->setCurrentIndex(1);
    QCOMPARE(allRanges(cfg), repeated(16, GRV480_RANGE_70MV));
    // One channel back to 35 mV blanks the summary again.
    w.rangeBox(7)->setCurrentIndex(0);
    QCOMPARE(cfg.channels[7].range, GRV480_RANGE_35MV);
    QCOMPARE(w.allChannelsRangeBox()->currentIndex(), -1);
}

void TestChannelsConfigWidget::ch16ForUrefDisablesRow16()
{
    DeviceConfig cfg;
    cfg.setChannelEnabled(15, true);
    ChannelsConfigWidget w;
    w.setConfig(&cfg);
    w.showConfig();
    QCOMPARE(w.channelTable()->item(15, 0)->checkState(), Qt::Checked);

    cfg.setCh16ForUref(true);
    QCOMPARE(w.channelTable()->item(15, 0)->checkState(), Qt::Unchecked);
    QVERIFY(!w.channelTable()->item(15, 0)->flags().testFlag(Qt::ItemIsEnabled));
    QVERIFY(!cfg.channels[15].enabled);

    cfg.setCh16ForUref(false);
    QVERIFY(w.channelTable()->item(15, 0)->flags().testFlag(Qt::ItemIsEnabled));
    QVERIFY(w.rangeBox(15)->isEnabled());
    QVERIFY(!cfg.channels[15].enabled);
}

void TestChannelsConfigWidget::singleChannel_data()
{
    QTest::addColumn<int>("channelIndex");
    QTest::addColumn<int>("rangeIndex");

    QTest::newRow("channel 5, 35 mV") << 4 << 0;
    QTest::newRow("channel 16, 70 mV") << 15 << 1;
}

void TestChannelsConfigWidget::singleChannel()
{
    QFETCH(int, channelIndex);
    QFETCH(int, rangeIndex);

    DeviceConfig cfg;
    for (int i = 0; i < 16; ++i) {
        cfg.setChannelEnabled(i, true);
        cfg.setChannelRange(i, i % 2);
    }
    SingleChConfigWidget w;
    w.setConfig(&cfg);
    w.showConfig();
    w.rangeBox()->setCurrentIndex(rangeIndex);
    w.channelBox()->setCurrentIndex(channelIndex);

    QCOMPARE(enabledChannels(cfg), Ints{channelIndex});
    QCOMPARE(allRanges(cfg), repeated(16, rangeIndex));
}

void TestChannelsConfigWidget::singleChannelKeepsSelectorsWithoutEnabledChannel()
{
    DeviceConfig cfg;
    SingleChConfigWidget w;
    w.setConfig(&cfg);
    w.channelBox()->setCurrentIndex(6);
    w.rangeBox()->setCurrentIndex(1);
    for (int i = 0; i < 16; ++i)
        cfg.setChannelEnabled(i, false);
    w.showConfig();
    QCOMPARE(w.channelBox()->currentIndex(), 6);
    QCOMPARE(w.rangeBox()->currentIndex(), 1);
}

QTEST_MAIN(TestChannelsConfigWidget)
#include "tst_channelsconfigwidget.moc"
