// The Telnet reader reads what a network sends: known streams first, then
// seeded random and mutated ones (KORVEL_TELNET_FUZZ_INPUTS of each; the
// benchmark runs a million under the sanitizers).
#include "network/telnet.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace telnet;
using Bytes = std::vector<std::uint8_t>;

// Everything the reader found, in order; data bytes as "d XX".
struct Recorded : Handler {
  void Data(std::uint8_t byte) override {
    data.push_back(byte);
    events.push_back("d " + std::to_string(byte));
  }
  void Negotiation(std::uint8_t verb, std::uint8_t option) override {
    events.push_back("n " + std::to_string(verb) + " " + std::to_string(option));
  }
  void Subnegotiation(std::uint8_t option, const Bytes& payload) override {
    std::string event = "s " + std::to_string(option) + ":";
    for (std::uint8_t byte : payload) event += " " + std::to_string(byte);
    events.push_back(event);
  }
  Bytes data;
  std::vector<std::string> events;
};

Recorded ReadWhole(const Bytes& stream) {
  Recorded recorded;
  Reader().Feed(stream.data(), stream.size(), recorded);
  return recorded;
}

// The same stream cut into pieces of random sizes, some of them empty.
Recorded ReadInPieces(const Bytes& stream, std::mt19937& random) {
  Recorded recorded;
  Reader reader;
  std::size_t at = 0;
  while (at < stream.size()) {
    const std::size_t piece =
        std::min<std::size_t>(std::uniform_int_distribution<std::size_t>(0, 5)(random),
                              stream.size() - at);
    reader.Feed(stream.data() + at, piece, recorded);
    at += piece;
  }
  return recorded;
}

int FuzzInputs() {
  const char* asked = std::getenv("KORVEL_TELNET_FUZZ_INPUTS");
  return asked != nullptr ? std::atoi(asked) : 3000;
}

TEST(TelnetReaderTest, TellsDataFromCommands) {
  const Recorded read = ReadWhole({'A', kIac, kIac, 'B',                      // a data 0xFF
                                   kIac, kWill, kComPortOption,               // an option
                                   kIac, 241, 'C',                            // NOP, dropped
                                   kIac, kSb, kComPortOption, 101, 0, 0, 0x25, 0x80, kIac, kSe,
                                   kIac, kSb, kComPortOption, 7, kIac, kIac, kIac, kSe,
                                   kIac, kSe, 'D'});  // an SE on its own, dropped
  EXPECT_EQ(read.data, (Bytes{'A', 0xFF, 'B', 'C', 'D'}));
  EXPECT_EQ(read.events,
            (std::vector<std::string>{"d 65", "d 255", "d 66", "n 251 44", "d 67",
                                      "s 44: 101 0 0 37 128", "s 44: 7 255", "d 68"}));
}

TEST(TelnetReaderTest, KeepsALongSubnegotiationShortAndDropsWhatIsUndefinedInOne) {
  Bytes stream = {kIac, kSb, kComPortOption};
  for (int i = 0; i < 1000; ++i) stream.push_back(static_cast<std::uint8_t>(i));
  // An IAC followed by anything but IAC or SE inside a subnegotiation.
  stream.insert(stream.end(), {kIac, kWill, 9, kIac, kSe, 'Z'});
  const Recorded read = ReadWhole(stream);
  ASSERT_EQ(read.events.size(), 2u);
  EXPECT_EQ(read.data, Bytes{'Z'});
  // The first bytes only; the option verb and its option were dropped, not
  // taken for a negotiation.
  std::string expected = "s 44:";
  for (std::size_t i = 0; i < Reader::kLongestPayload; ++i) expected += " " + std::to_string(i);
  EXPECT_EQ(read.events[0], expected);
}

TEST(TelnetWriterTest, DoublesEveryIacInDataAndInSubnegotiations) {
  Bytes out;
  AppendData(0x41, &out);
  AppendData(0xFF, &out);
  AppendNegotiation(kDo, kBinary, &out);
  AppendSubnegotiation(kComPortOption, {1, 0xFF, 2}, &out);
  EXPECT_EQ(out, (Bytes{0x41, 0xFF, 0xFF, kIac, kDo, kBinary, kIac, kSb, kComPortOption, 1, 0xFF,
                        0xFF, 2, kIac, kSe}));
}

// Streams as a server may write them: data (0xFF among it), option
// negotiation, subnegotiation and other commands, in any order. Read whole or
// cut anywhere, they give back exactly the data and the commands written.
TEST(TelnetReaderTest, RandomStreamsComeBackAsWrittenHoweverTheyAreCut) {
  std::mt19937 random(2217);
  std::uniform_int_distribution<int> byte(0, 255), kind(0, 9), length(0, 12);
  for (int n = 0; n < FuzzInputs(); ++n) {
    Bytes stream;
    Recorded expected;
    const int items = length(random) * 3;
    for (int i = 0; i < items; ++i) {
      const int what = kind(random);
      if (what < 6) {
        const auto value = static_cast<std::uint8_t>(what == 0 ? kIac : byte(random));
        AppendData(value, &stream);
        expected.Data(value);
      } else if (what < 8) {
        const auto verb = static_cast<std::uint8_t>(kWill + byte(random) % 4);
        const auto option = static_cast<std::uint8_t>(byte(random));
        AppendNegotiation(verb, option, &stream);
        expected.Negotiation(verb, option);
      } else if (what == 8) {
        Bytes payload(static_cast<std::size_t>(length(random)));
        for (std::uint8_t& b : payload) b = static_cast<std::uint8_t>(byte(random));
        const auto option = static_cast<std::uint8_t>(byte(random));
        AppendSubnegotiation(option, payload, &stream);
        expected.Subnegotiation(option, payload);
      } else {
        stream.insert(stream.end(), {kIac, static_cast<std::uint8_t>(241 + byte(random) % 9)});
      }
    }
    ASSERT_EQ(ReadWhole(stream).events, expected.events) << "stream " << n;
    ASSERT_EQ(ReadInPieces(stream, random).events, expected.events) << "stream " << n;
  }
}

// Anything at all, and valid streams with bytes flipped, dropped or put in:
// no byte is ever given as data twice, and where the stream is cut changes
// nothing.
TEST(TelnetReaderTest, GarbageAndMutatedStreamsNeverGiveMoreDataThanCame) {
  std::mt19937 random(44);
  std::uniform_int_distribution<int> byte(0, 255), length(0, 200), coin(0, 3);
  for (int n = 0; n < FuzzInputs(); ++n) {
    Bytes stream(static_cast<std::size_t>(length(random)));
    if (coin(random) == 0) {
      for (std::uint8_t& b : stream) b = static_cast<std::uint8_t>(byte(random));
    } else {
      // Mostly commands, so that the mutations land in them.
      stream.clear();
      while (stream.size() < 60) {
        Bytes payload(3, static_cast<std::uint8_t>(byte(random)));
        AppendSubnegotiation(kComPortOption, payload, &stream);
        AppendNegotiation(kWill, static_cast<std::uint8_t>(byte(random)), &stream);
        AppendData(static_cast<std::uint8_t>(byte(random)), &stream);
      }
      for (int m = coin(random) + 1; m > 0 && !stream.empty(); --m) {
        const std::size_t at = static_cast<std::size_t>(byte(random)) % stream.size();
        switch (coin(random)) {
          case 0: stream[at] = static_cast<std::uint8_t>(byte(random)); break;
          case 1: stream.erase(stream.begin() + static_cast<std::ptrdiff_t>(at)); break;
          default:
            stream.insert(stream.begin() + static_cast<std::ptrdiff_t>(at),
                          coin(random) ? kIac : static_cast<std::uint8_t>(byte(random)));
        }
      }
    }
    const Recorded whole = ReadWhole(stream);
    ASSERT_LE(whole.data.size(), stream.size()) << "stream " << n;
    std::size_t plain = 0;  // bytes that are no IAC can each be data once at most
    for (std::uint8_t b : stream) plain += b != kIac;
    ASSERT_LE(whole.data.size(), plain + stream.size() / 2) << "stream " << n;
    ASSERT_EQ(ReadInPieces(stream, random).events, whole.events) << "stream " << n;
  }
}

// Two ends that keep an option table each, every ask and answer delivered
// in random order of the two directions: the exchange always ends, and both
// then agree on each option. Also with one end that answers whatever comes.
struct End : Handler {
  void Data(std::uint8_t) override {}
  void Negotiation(std::uint8_t verb, std::uint8_t option) override {
    ++heard;
    if (echoes) {
      const std::uint8_t back = verb == kWill ? kDo : verb == kWont ? kDont : verb == kDo ? kWill
                                                                                          : kWont;
      AppendNegotiation(back, option, &out);
    } else {
      table.Receive(verb, option, &out);
    }
  }
  void Subnegotiation(std::uint8_t, const Bytes&) override {}

  OptionTable table;
  Reader reader;
  Bytes out;
  bool echoes = false;
  int heard = 0;
};

// Delivers what each end has to say until neither has anything; the rounds
// it took, or -1 when it did not end.
int Deliver(End& a, End& b, std::mt19937& random) {
  for (int round = 0; round < 1000; ++round) {
    if (a.out.empty() && b.out.empty()) return round;
    End& from = a.out.empty() ? b : b.out.empty() ? a : (random() % 2 ? a : b);
    End& to = &from == &a ? b : a;
    Bytes said;
    said.swap(from.out);
    to.reader.Feed(said.data(), said.size(), to);
  }
  return -1;
}

TEST(TelnetOptionTableTest, NoNegotiationLoopsAndBothEndsAgree) {
  std::mt19937 random(2217);
  using Side = OptionTable::Side;
  for (int n = 0; n < 300; ++n) {
    End a;
    End b;
    const std::uint8_t options[] = {kBinary, kEcho, kSuppressGoAhead, kComPortOption};
    for (std::uint8_t option : options) {
      for (End* end : {&a, &b}) {
        if (random() % 2) end->table.Accept(Side::kUs, option);
        if (random() % 2) end->table.Accept(Side::kHim, option);
        if (random() % 3 == 0) end->table.Ask(random() % 2 ? Side::kUs : Side::kHim, option,
                                              &end->out);
      }
    }
    ASSERT_GE(Deliver(a, b, random), 0) << "case " << n;
    for (std::uint8_t option : options) {
      EXPECT_EQ(a.table.enabled(Side::kUs, option), b.table.enabled(Side::kHim, option))
          << "case " << n << " option " << int(option);
      EXPECT_EQ(a.table.enabled(Side::kHim, option), b.table.enabled(Side::kUs, option))
          << "case " << n << " option " << int(option);
    }
  }
  // Against an end that answers every negotiation, answers included: each
  // of our asks and answers is heard once, and it stops there.
  End ours;
  End echo;
  echo.echoes = true;
  for (std::uint8_t option : {kBinary, kComPortOption}) ours.table.Ask(Side::kUs, option, &ours.out);
  ours.table.Ask(Side::kHim, kBinary, &ours.out);
  ours.table.Accept(Side::kHim, kSuppressGoAhead);
  // Offered unasked: one declined, one agreed to.
  AppendNegotiation(kWill, kEcho, &echo.out);
  AppendNegotiation(kWill, kSuppressGoAhead, &echo.out);
  ASSERT_GE(Deliver(ours, echo, random), 0);
  EXPECT_EQ(echo.heard, 5);
  EXPECT_TRUE(ours.table.enabled(Side::kHim, kSuppressGoAhead));
  EXPECT_TRUE(ours.table.enabled(Side::kUs, kComPortOption));
  EXPECT_FALSE(ours.table.enabled(Side::kHim, kEcho));
}

}  // namespace
