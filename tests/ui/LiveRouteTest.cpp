// The live route check in the window: its switch, remembered between runs.
#include <filesystem>

#include "tests/ui/FormFixture.h"

namespace {

using LiveRouteTest = FormTest;

TEST_F(LiveRouteTest, TheSwitchIsOffAtFirstAndRememberedBetweenRuns)
{
    Open();
    EXPECT_TRUE(form->N20->isCheckable());
    EXPECT_EQ(form->N20->text(), QString::fromUtf8("Проверять пути на ходу"));
    EXPECT_FALSE(form->LiveRouteCheck());
    ASSERT_TRUE(Key(Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier));
    EXPECT_TRUE(form->LiveRouteCheck());
    EXPECT_TRUE(std::filesystem::exists(dataHome.File("config/kestedit/kestedit.conf")));
    form.reset();
    Open();
    EXPECT_TRUE(form->LiveRouteCheck()) << "remembered";
    ASSERT_TRUE(Key(Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier));
    form.reset();
    Open();
    EXPECT_FALSE(form->LiveRouteCheck());
    // Ctrl+E still opens the fault list, whatever the switch.
    EXPECT_TRUE(Key(Qt::Key_E, Qt::ControlModifier));
    EXPECT_FALSE(form->LiveRouteCheck());
}

} // namespace
