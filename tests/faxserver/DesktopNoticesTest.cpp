// Notices on the desktop, through a D-Bus session and a notification service of the test's own.
#include "shell/ui/DesktopNotices.h"

#include "NotificationService.h"

#include <gtest/gtest.h>
#include <QDBusPendingCallWatcher>
#include <QSignalSpy>
#include <QTest>
#include <QUuid>

namespace velmora {
namespace {

using test::NotificationService;
using test::PrivateBus;

TEST(DesktopNotices, ANoticeReachesTheServiceAsTheProgramsOwn) {
    PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "no D-Bus session could be started";
    NotificationService service(bus);
    ASSERT_TRUE(service.registered());
    DesktopNotices notices(bus.connect());
    QSignalSpy notShown(&notices, &DesktopNotices::notShown);

    notices.post(QStringLiteral("Fax sent"), QStringLiteral("To Ann Lee (555-014-2278), 3 pages"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.notices().size() == 1; }, 20000));
    const test::Notice& notice = service.notices()[0];
    EXPECT_EQ(notice.appName, QStringLiteral("Velmora"));
    EXPECT_EQ(notice.icon, QStringLiteral("velmora"));
    EXPECT_EQ(notice.summary, QStringLiteral("Fax sent"));
    EXPECT_EQ(notice.body, QStringLiteral("To Ann Lee (555-014-2278), 3 pages"));
    EXPECT_EQ(notice.expireTimeout, -1);
    // The service's answer heard (its call's watcher gone), and taken as shown.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return notices.findChildren<QDBusPendingCallWatcher*>().isEmpty(); }, 20000));
    EXPECT_EQ(notShown.count(), 0);
}

TEST(DesktopNotices, WithoutAServiceTheNoticeComesBack) {
    PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "no D-Bus session could be started";
    DesktopNotices onBus(bus.connect());
    // No session bus at all.
    DesktopNotices offBus(QDBusConnection::connectToBus(
        QStringLiteral("unix:abstract=velmora-no-bus-") + QUuid::createUuid().toString(),
        QStringLiteral("velmora-no-bus")));
    for (DesktopNotices* notices : {&onBus, &offBus}) {
        QSignalSpy notShown(notices, &DesktopNotices::notShown);
        notices->post(QStringLiteral("Fax failed"), QStringLiteral("Busy signal"));
        ASSERT_TRUE(notShown.wait(20000));
        EXPECT_EQ(notShown[0],
                  (QVariantList{QStringLiteral("Fax failed"), QStringLiteral("Busy signal")}));
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("velmora-no-bus"));
}

}  // namespace
}  // namespace velmora
