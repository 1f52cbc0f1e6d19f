// contract_cards.cpp - the capture library's cards on the simulated cards: how many there are and
// of which type, which inputs carry a signal, handles (opening, ending, bad handles for every
// per-card operation), null out-parameters and the status texts.
#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "contract_support.h"

namespace {

using contract::CardHandle;
using contract::SetSim;

class Cards : public contract::SimTest {};

TEST_F(Cards, NoCardsGivesZeroCountAndNoCardOnBegin) {
  QUARN_SIMULATOR_ONLY();
  SetSim("QUARN_SIM_CARDS", "0");
  int count = -1;
  EXPECT_EQ(QuarnGetCardTotal(&count), QUARN_OK);
  EXPECT_EQ(count, 0);
  QUARN_HANDLE handle = 77;
  EXPECT_EQ(BeginQuarnCard(1, &handle), QUARN_ERR_NO_CARD);
  EXPECT_EQ(handle, 77u) << "a failed open must not write a handle";
  // The programs show this text when no card is found.
  const std::string text = QuarnGetErrorString(QUARN_ERR_NO_CARD);
  EXPECT_NE(text.find("No capture card"), std::string::npos) << text;
}

TEST_F(Cards, DefaultIsFourCardsNumberedFromOne) {
  QUARN_SIMULATOR_ONLY();
  EXPECT_EQ(Reload(), 4);
  QUARN_HANDLE handle = 0;
  EXPECT_EQ(BeginQuarnCard(0, &handle), QUARN_ERR_CARD_NUMBER);
  EXPECT_EQ(BeginQuarnCard(5, &handle), QUARN_ERR_CARD_NUMBER);
  EXPECT_EQ(BeginQuarnCard(-1, &handle), QUARN_ERR_CARD_NUMBER);
  EXPECT_EQ(handle, 0u);
  std::set<QUARN_HANDLE> handles;
  std::vector<std::unique_ptr<CardHandle>> cards;
  for (int number = 1; number <= 4; ++number) {
    cards.push_back(std::make_unique<CardHandle>(number));
    ASSERT_EQ(cards.back()->status(), QUARN_OK) << "card " << number;
    EXPECT_NE(cards.back()->get(), 0u);
    handles.insert(cards.back()->get());
  }
  EXPECT_EQ(handles.size(), 4u) << "every open gets its own handle";
}

// The same rule on any library: numbers 1 to the count open, each with its own handle; the
// numbers around them are refused without writing a handle.
TEST_F(Cards, CardsAreNumberedFromOneToTheCount) {
  const int count = Reload();
  ASSERT_GE(count, 1) << "the checks need at least one card";
  QUARN_HANDLE handle = 0;
  EXPECT_EQ(BeginQuarnCard(0, &handle), QUARN_ERR_CARD_NUMBER);
  EXPECT_EQ(BeginQuarnCard(count + 1, &handle), QUARN_ERR_CARD_NUMBER);
  EXPECT_EQ(BeginQuarnCard(-1, &handle), QUARN_ERR_CARD_NUMBER);
  EXPECT_EQ(handle, 0u);
  std::set<QUARN_HANDLE> handles;
  std::vector<std::unique_ptr<CardHandle>> cards;
  for (int number = 1; number <= std::min(count, 8); ++number) {
    cards.push_back(std::make_unique<CardHandle>(number));
    ASSERT_EQ(cards.back()->status(), QUARN_OK) << "card " << number;
    EXPECT_NE(cards.back()->get(), 0u);
    handles.insert(cards.back()->get());
  }
  EXPECT_EQ(handles.size(), cards.size()) << "every open gets its own handle";
}

TEST_F(Cards, MoreThan128CardsAreAllUsable) {
  QUARN_SIMULATOR_ONLY();
  SetSim("QUARN_SIM_CARDS", "200");
  EXPECT_EQ(Reload(), 200);
  std::vector<std::unique_ptr<CardHandle>> cards;
  std::set<QUARN_HANDLE> handles;
  for (int number = 1; number <= 200; ++number) {
    cards.push_back(std::make_unique<CardHandle>(number));
    ASSERT_EQ(cards.back()->status(), QUARN_OK) << "card " << number;
    handles.insert(cards.back()->get());
  }
  EXPECT_EQ(handles.size(), 200u);
  QUARN_HANDLE handle = 0;
  EXPECT_EQ(BeginQuarnCard(201, &handle), QUARN_ERR_CARD_NUMBER);
  int type = -1;
  EXPECT_EQ(QuarnGetCardType(cards[199]->get(), &type), QUARN_OK);
  EXPECT_EQ(type, 1);
}

TEST_F(Cards, CardCountIsCappedAndMalformedCountKeepsDefault) {
  QUARN_SIMULATOR_ONLY();
  SetSim("QUARN_SIM_CARDS", "5000");
  EXPECT_EQ(Reload(), 1024);
  SetSim("QUARN_SIM_CARDS", "many");
  EXPECT_EQ(Reload(), 4);
  SetSim("QUARN_SIM_CARDS", "-3");
  EXPECT_EQ(Reload(), 4);
}

// Fault: settings re-read while a card is open would renumber cards under a running program.
TEST_F(Cards, SettingsAreKeptWhileACardIsOpen) {
  QUARN_SIMULATOR_ONLY();
  CardHandle card(1);
  ASSERT_EQ(card.status(), QUARN_OK);
  SetSim("QUARN_SIM_CARDS", "2");
  EXPECT_EQ(Reload(), 4);
  ASSERT_EQ(card.End(), QUARN_OK);
  EXPECT_EQ(Reload(), 2);
}

TEST_F(Cards, TypesComeFromSettingsAndTheLastRepeats) {
  QUARN_SIMULATOR_ONLY();
  SetSim("QUARN_SIM_CARD_TYPES", "0,2");
  Reload();
  const int expected[] = {0, 2, 2, 2};
  for (int number = 1; number <= 4; ++number) {
    CardHandle card(number);
    ASSERT_EQ(card.status(), QUARN_OK);
    int type = -1;
    EXPECT_EQ(QuarnGetCardType(card.get(), &type), QUARN_OK);
    EXPECT_EQ(type, expected[number - 1]) << "card " << number;
  }
}

TEST_F(Cards, DefaultTypeIsOne) {
  QUARN_SIMULATOR_ONLY();
  CardHandle card(3);
  int type = -1;
  EXPECT_EQ(QuarnGetCardType(card.get(), &type), QUARN_OK);
  EXPECT_EQ(type, 1);
}

// Returns which of the 11 inputs report a signal on card `number`.
std::vector<int> PresentInputs(int number) {
  CardHandle card(number);
  EXPECT_EQ(card.status(), QUARN_OK);
  const int types[] = {0, 0, 0, 0, 0, 0, 1, 1, 1, 2, 2};
  const int numbers[] = {0, 1, 2, 3, 4, 5, 0, 1, 2, 0, 1};
  std::vector<int> present;
  for (int input = 0; input < 11; ++input) {
    EXPECT_EQ(QuarnSetVideoSource(card.get(), types[input], numbers[input]), QUARN_OK);
    int value = -1;
    EXPECT_EQ(QuarnVideoPresent(card.get(), &value), QUARN_OK);
    EXPECT_TRUE(value == 0 || value == 1) << value;
    if (value != 0) present.push_back(input);
  }
  return present;
}

TEST_F(Cards, SignalsPerCardIncludingNone) {
  QUARN_SIMULATOR_ONLY();
  SetSim("QUARN_SIM_SIGNALS", "0,7;none;9,10,3");
  Reload();
  EXPECT_EQ(PresentInputs(1), (std::vector<int>{0, 7}));
  EXPECT_EQ(PresentInputs(2), (std::vector<int>{}));
  EXPECT_EQ(PresentInputs(3), (std::vector<int>{3, 9, 10}));
  EXPECT_EQ(PresentInputs(4), (std::vector<int>{3, 9, 10}));
}

TEST_F(Cards, DefaultSignalIsVideoOneOnEveryCard) {
  QUARN_SIMULATOR_ONLY();
  EXPECT_EQ(PresentInputs(1), (std::vector<int>{0}));
  EXPECT_EQ(PresentInputs(4), (std::vector<int>{0}));
}

TEST_F(Cards, SameCardOpenedTwiceHasIndependentHandles) {
  QUARN_SIMULATOR_ONLY();
  CardHandle first(2);
  CardHandle second(2);
  ASSERT_EQ(first.status(), QUARN_OK);
  ASSERT_EQ(second.status(), QUARN_OK);
  EXPECT_NE(first.get(), second.get());
  ASSERT_EQ(QuarnSetVideoSource(first.get(), QUARN_SOURCE_SVIDEO, 1), QUARN_OK);
  int present = -1;
  EXPECT_EQ(QuarnVideoPresent(first.get(), &present), QUARN_OK);
  EXPECT_EQ(present, 0);
  EXPECT_EQ(QuarnVideoPresent(second.get(), &present), QUARN_OK);
  EXPECT_EQ(present, 1) << "the second handle still watches Video 1";
  EXPECT_EQ(first.End(), QUARN_OK);
  EXPECT_EQ(QuarnVideoPresent(second.get(), &present), QUARN_OK) << "ending one keeps the other";
}

// Fault: a reused handle would let a stale handle drive another program's card.
TEST_F(Cards, HandlesAreNeverReused) {
  const int cards = Reload();
  ASSERT_GE(cards, 1);
  std::set<QUARN_HANDLE> seen;
  for (int round = 0; round < 20; ++round) {
    CardHandle card(1 + round % std::min(cards, 4));
    ASSERT_EQ(card.status(), QUARN_OK);
    EXPECT_TRUE(seen.insert(card.get()).second) << "handle " << card.get() << " reused";
  }
}

// Every per-card operation, called with `handle` and otherwise valid arguments.
std::vector<std::pair<std::string, std::function<int(QUARN_HANDLE)>>> PerCardOperations() {
  static int sink = 0;
  static QuarnHostWindow window{
      sizeof(QuarnHostWindow), nullptr, [](void*, QuarnRect*) { return 0; },
      [](void*, int32_t, int32_t, int32_t, int32_t, const uint32_t*, size_t) {}, nullptr};
  return {
      {"EndQuarnCard", [](QUARN_HANDLE h) { return EndQuarnCard(h); }},
      {"QuarnGetCardType", [](QUARN_HANDLE h) { return QuarnGetCardType(h, &sink); }},
      {"QuarnSetVideoSource", [](QUARN_HANDLE h) { return QuarnSetVideoSource(h, 0, 1); }},
      {"QuarnVideoPresent", [](QUARN_HANDLE h) { return QuarnVideoPresent(h, &sink); }},
      {"QuarnSetVideoStandard", [](QUARN_HANDLE h) { return QuarnSetVideoStandard(h, 1); }},
      {"QuarnSetVideoFormat", [](QUARN_HANDLE h) { return QuarnSetVideoFormat(h, 0); }},
      {"QuarnSetScanMode", [](QUARN_HANDLE h) { return QuarnSetScanMode(h, 1); }},
      {"QuarnSelectCryOSC", [](QUARN_HANDLE h) { return QuarnSelectCryOSC(h, 1); }},
      {"QuarnAdjustVideo", [](QUARN_HANDLE h) { return QuarnAdjustVideo(h, 1, 20); }},
      {"QuarnSetPLLFrequency", [](QUARN_HANDLE h) { return QuarnSetPLLFrequency(h, 200); }},
      {"QuarnSetInputWindow", [](QUARN_HANDLE h) { return QuarnSetInputWindow(h, 0, 0, 64, 64); }},
      {"QuarnSetOutputWindow",
       [](QUARN_HANDLE h) { return QuarnSetOutputWindow(h, 0, 0, 64, 64); }},
      {"QuarnEnableMask", [](QUARN_HANDLE h) { return QuarnEnableMask(h, 1); }},
      {"QuarnSetPixelMask", [](QUARN_HANDLE h) { return QuarnSetPixelMask(h, 1, 1, 1); }},
      {"QuarnSetDelay", [](QUARN_HANDLE h) { return QuarnSetDelay(h, 3, 3); }},
      {"QuarnEnableVideoMirror", [](QUARN_HANDLE h) { return QuarnEnableVideoMirror(h, 0, 1); }},
      {"QuarnLumaControl", [](QUARN_HANDLE h) { return QuarnLumaControl(h, 0, 0); }},
      {"QuarnCaptureShot", [](QUARN_HANDLE h) { return QuarnCaptureShot(h); }},
      {"QuarnSnapShot", [](QUARN_HANDLE h) { return QuarnSnapShot(h, 0, 0, 1, 1); }},
      {"QuarnCaptureEx on", [](QUARN_HANDLE h) { return QuarnCaptureEx(h, &window, 1); }},
      {"QuarnCaptureEx off", [](QUARN_HANDLE h) { return QuarnCaptureEx(h, nullptr, 0); }},
      {"QuarnOpenSnapEx",
       [](QUARN_HANDLE h) {
         return QuarnOpenSnapEx(
             h, [](QuarnSnapInfo*) { return 1; }, nullptr);
       }},
      {"QuarnCloseSnapEx", [](QUARN_HANDLE h) { return QuarnCloseSnapEx(h); }},
      {"QuarnStartSnapEx", [](QUARN_HANDLE h) { return QuarnStartSnapEx(h, 0, 1, 2); }},
      {"QuarnStopSnapEx", [](QUARN_HANDLE h) { return QuarnStopSnapEx(h); }},
  };
}

void ExpectBadHandleEverywhere(QUARN_HANDLE handle, const char* what) {
  for (const auto& [name, operation] : PerCardOperations()) {
    EXPECT_EQ(operation(handle), QUARN_ERR_BAD_HANDLE) << name << " with " << what;
  }
}

TEST_F(Cards, BadHandlesAreRejectedByEveryPerCardOperation) {
  ExpectBadHandleEverywhere(0, "handle 0");
  ExpectBadHandleEverywhere(0xFFFFFFFFu, "a handle never opened");
  QUARN_HANDLE ended = 0;
  ASSERT_EQ(BeginQuarnCard(1, &ended), QUARN_OK);
  ASSERT_EQ(EndQuarnCard(ended), QUARN_OK);
  ExpectBadHandleEverywhere(ended, "an ended handle");
}

// Fault: checking the injected status before the handle would report "accepted, applied later"
// (-7) for a card that is not even open, and a program would remember the value.
TEST_F(Cards, BadHandleWinsOverInjectedNotApplied) {
  QUARN_SIMULATOR_ONLY();
  std::string faults;
  for (const auto& [name, operation] : PerCardOperations()) {
    const std::string op = name.substr(0, name.find(' '));
    if (faults.find(op + "=") == std::string::npos) faults += op + "=-7,";
  }
  SetSim("QUARN_SIM_FAIL", faults.c_str());
  Reload();
  ExpectBadHandleEverywhere(0, "handle 0 and every operation failing with -7");
  ExpectBadHandleEverywhere(12345, "a handle never opened and every operation failing with -7");
}

TEST_F(Cards, NullOutParametersAreRejected) {
  EXPECT_EQ(QuarnGetCardTotal(nullptr), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(BeginQuarnCard(1, nullptr), QUARN_ERR_BAD_PARAMETER);
  CardHandle card(1);
  ASSERT_EQ(card.status(), QUARN_OK);
  EXPECT_EQ(QuarnGetCardType(card.get(), nullptr), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnVideoPresent(card.get(), nullptr), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnGetStaticMem(nullptr), QUARN_ERR_BAD_PARAMETER);
  QUARN_MEMLOCK lock = 0;
  void* address = nullptr;
  EXPECT_EQ(QuarnStaticMemLock(0, 16, nullptr, &address), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnStaticMemLock(0, 16, &lock, nullptr), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnOpenSnapEx(card.get(), nullptr, nullptr), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnCaptureEx(card.get(), nullptr, 1), QUARN_ERR_BAD_PARAMETER);
}

TEST_F(Cards, EveryStatusHasItsOwnConstantText) {
  const char* unknown = QuarnGetErrorString(12345);
  ASSERT_NE(unknown, nullptr);
  EXPECT_GT(std::strlen(unknown), 0u);
  std::set<std::string> texts;
  for (int status = 0; status >= QUARN_ERR_NO_WINDOW; --status) {
    const char* text = QuarnGetErrorString(status);
    ASSERT_NE(text, nullptr) << status;
    EXPECT_GT(std::strlen(text), 10u) << status;
    EXPECT_STRNE(text, unknown) << "status " << status << " has only the generic text";
    EXPECT_TRUE(texts.insert(text).second) << "status " << status << " shares its text";
    EXPECT_EQ(QuarnGetErrorString(status), text) << "the text must be constant";
  }
  for (int status : {1, -14, -100, INT_MIN, INT_MAX}) {
    const char* text = QuarnGetErrorString(status);
    ASSERT_NE(text, nullptr) << status;
    EXPECT_STREQ(text, unknown) << status;
  }
}

}  // namespace
