#include "core/replay/form_action.h"

#include <gtest/gtest.h>

namespace quillrun {
namespace {

using Values = std::vector<std::pair<std::string, std::string>>;
using Names = std::vector<std::string>;

struct RecordingDom : DomAutomation {
    std::vector<FormActionPlan> carried;
    void Carry(const FormActionPlan& plan) override { carried.push_back(plan); }
};

}  // namespace

TEST(SetText, ValuesClicksAndSubmitInTheirOrder) {
    FormActionPlan plan;
    ASSERT_TRUE(ParseSetText("submit=go", "input=q:abc,lang:ja,click=b1,Send,", plan));
    EXPECT_EQ(plan.values, (Values{{"tindrel", "yes"}, {"q", "abc"}, {"lang", "ja"}}));
    EXPECT_EQ(plan.clicks, (Names{"b1", "Send"}));
    EXPECT_TRUE(plan.submit);
    EXPECT_EQ(plan.submitText, "go");

    ASSERT_TRUE(ParseSetText("submit=", "input=a:1,click=,", plan));
    EXPECT_EQ(plan.values, (Values{{"tindrel", "yes"}, {"a", "1"}}));
    EXPECT_EQ(plan.clicks, (Names{""}));
    EXPECT_FALSE(plan.submit);

    // An entry without its closing "," does nothing; a second ":" starts the value again.
    ASSERT_TRUE(ParseSetText("submit=", "input=a:1click=x", plan));
    EXPECT_EQ(plan.values, (Values{{"tindrel", "yes"}}));
    EXPECT_TRUE(plan.clicks.empty());
    ASSERT_TRUE(ParseSetText("", "input=a:1:2,click=", plan));
    EXPECT_EQ(plan.values, (Values{{"tindrel", "yes"}, {"a", "2"}}));

    EXPECT_FALSE(ParseSetText("submit=go", "input=a:1,", plan));
    EXPECT_FALSE(ParseSetText("submit=go", "click=a,", plan));
}

TEST(PendingFormAction, CarriedOutOnceAndLeftArmedWithoutTheKeywords) {
    RecordingDom dom;
    ThePendingFormAction() = PendingFormAction();
    RunPendingFormAction(dom);  // nothing armed: nothing happens
    EXPECT_TRUE(dom.carried.empty());

    ArmFormAction("submit=first", "input=a:1,click=,");
    ArmFormAction("submit=second", "input=b:2,click=,");  // replaces the first
    RunPendingFormAction(dom);
    ASSERT_EQ(dom.carried.size(), 1u);
    EXPECT_EQ(dom.carried[0].submitText, "second");
    EXPECT_EQ(ThePendingFormAction().marker, 0);
    RunPendingFormAction(dom);
    EXPECT_EQ(dom.carried.size(), 1u);

    ArmFormAction("submit=x", "input=a:1,");  // no "click=": stays armed
    RunPendingFormAction(dom);
    EXPECT_EQ(dom.carried.size(), 1u);
    EXPECT_EQ(ThePendingFormAction().marker, kFormActionArmed);

    ArmFormAction("submit=x", std::string(20000, 'd'));
    EXPECT_EQ(ThePendingFormAction().data.size(), kFormActionDataWidth - 1);
    ThePendingFormAction() = PendingFormAction();
}

}  // namespace quillrun
