// router_test.cpp - the command router: rules asked on menu opening and before every dispatch,
// disabled commands never run by any path, unhandled commands are disabled, and the routing
// order view -> frame -> document -> application.
#include <gtest/gtest.h>

#include "test_program.h"

namespace {

class RouterTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(h.Start()); }
  TestFrame* frame() { return h.frameAs<TestFrame>(); }
  FrameworkHarness<TestApp> h{TestResources()};
};

TEST_F(RouterTest, FirstHandlerInRouteOrderRuns) {
  // Fault caught: a route that asks the frame before the view, or the app before the document.
  EXPECT_TRUE(h.Send(kIdViewCmd));
  EXPECT_TRUE(h.Send(kIdFrameCmd));
  EXPECT_TRUE(h.Send(kIdDocCmd));
  EXPECT_TRUE(h.Send(kIdAppCmd));
  const std::vector<std::string> want{"create", "view:view", "frame:frame", "doc:doc"};
  EXPECT_EQ(frame()->log, want);
  EXPECT_EQ(h.app().log, std::vector<std::string>{"app:app"});
}

TEST_F(RouterTest, CommandWithoutHandlerIsDisabledEvenIfRuleEnablesIt) {
  EXPECT_FALSE(h.IsEnabled(kIdNoHandler));
  EXPECT_FALSE(h.IsEnabled(ID_EDIT_COPY));  // no handler, no rule
  EXPECT_FALSE(h.Send(kIdNoHandler));
  EXPECT_FALSE(h.Menu(kIdNoHandler));
  EXPECT_FALSE(h.MenuAction(kIdNoHandler)->isEnabled());
}

TEST_F(RouterTest, RuleStateIsReportedAndShownInMenu) {
  frame()->ruleEnabled = true;
  frame()->ruleChecked = 1;
  EXPECT_TRUE(h.IsEnabled(kIdRuled));
  EXPECT_EQ(h.Checked(kIdRuled), 1);
  QAction* action = h.OpenMenuOf(kIdRuled);
  EXPECT_TRUE(action->isEnabled());
  EXPECT_TRUE(action->isChecked());
  frame()->ruleChecked = 0;
  frame()->ruleEnabled = false;
  // Fault caught: a stale action state kept from the previous opening of the menu.
  h.OpenMenuOf(kIdRuled);
  EXPECT_FALSE(action->isEnabled());
  EXPECT_FALSE(action->isChecked());
  EXPECT_FALSE(h.Menu(kIdRuled));
  EXPECT_EQ(frame()->ruledRuns, 0);
}

TEST_F(RouterTest, RuleIsAskedBeforeEveryDispatch) {
  // The menu was opened while enabled; the rule changes before the click reaches the router.
  frame()->ruleEnabled = true;
  ASSERT_TRUE(h.Menu(kIdRuled));
  EXPECT_EQ(frame()->ruledRuns, 1);
  QAction* action = h.MenuAction(kIdRuled);
  frame()->ruleEnabled = false;
  const int asked = frame()->ruleAsked;
  action->trigger();  // a stale enabled action: the router must still refuse
  EXPECT_GT(frame()->ruleAsked, asked);
  EXPECT_EQ(frame()->ruledRuns, 1);
}

TEST_F(RouterTest, DisabledCommandNeverRunsBySendMessageOrAccelerator) {
  frame()->ruleEnabled = false;
  EXPECT_FALSE(h.Send(kIdRuled));
  h.Key(Qt::Key_2, Qt::ControlModifier);
  EXPECT_EQ(frame()->ruledRuns, 0);
  frame()->ruleEnabled = true;
  h.Key(Qt::Key_2, Qt::ControlModifier);
  EXPECT_EQ(frame()->ruledRuns, 1);  // the same key works once the rule allows it
  EXPECT_TRUE(h.Send(kIdRuled));
  EXPECT_EQ(frame()->ruledRuns, 2);
}

TEST(CommandRouteTest, FirstRuleDecidesAndLaterRulesAreNotAsked) {
  CCmdTarget first, second;
  int secondAsked = 0;
  first.Rule(1, [](CCmdUI& ui) { ui.Enable(false); });
  second.On(1, [] {}).Rule(1, [&](CCmdUI&) { ++secondAsked; });
  CommandRoute route({&first, nullptr, &second});
  EXPECT_FALSE(route.Query(1).enabled);
  EXPECT_FALSE(route.Dispatch(1));
  EXPECT_EQ(secondAsked, 0);
}

TEST(CommandRouteTest, RangeHandlerGetsTheId) {
  CCmdTarget t;
  std::vector<UINT> got;
  t.OnRange(100, 110, [&](UINT id) { got.push_back(id); });
  CommandRoute route({&t});
  EXPECT_TRUE(route.Dispatch(105));
  EXPECT_FALSE(route.Dispatch(111));
  EXPECT_EQ(got, std::vector<UINT>{105});
}

}  // namespace
