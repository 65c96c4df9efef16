// A conversation with a controller, as the words a front end hears: what to do to the port
// and the timers, and what happened.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "config/frames.h"
#include "link/fake_port.h"
#include "session/port_driver.h"
#include "session/session.h"

namespace qz {
namespace {

using Bytes = std::vector<std::uint8_t>;

// What each call left, taken after it as one short word each: "w:A1AE" a write (command bytes
// of a long frame, the first two bytes of any other), "close", the events by name, and "idle"
// once nothing is due any more.
struct Recorder {
  std::string said;
  std::vector<Frame> writes;
  bool due = false;
  void word(const std::string& w) { said += said.empty() ? w : " " + w; }
  static std::string hex(std::span<const std::uint8_t> b) {
    std::string s;
    for (const std::uint8_t x : b) {
      char h[3];
      std::snprintf(h, sizeof h, "%02X", x);
      s += h;
    }
    return s;
  }
  void written(std::span<const std::uint8_t> b) {
    word("w:" + hex(b.size() == 12 ? b.subspan(5, 2) : b.first(b.size() == 15 ? 3 : 2)));
  }
  void collect(Session& s) {
    while (const auto t = s.pollTransmit()) {
      if (t->kind == Transmit::Kind::Close) {
        word("close");
        continue;
      }
      writes.push_back(t->frame);
      written(t->frame.bytes());
    }
    while (const auto e = s.pollEvent()) happened(*e);
    if (due && !s.nextDeadline()) word("idle");
    due = s.nextDeadline().has_value();
  }
  void happened(const SessionEvent& e) {
    using namespace event;
    if (const auto* a = std::get_if<ControllerAnswered>(&e)) {
      return word("model" + std::to_string(a->model) + (a->first ? "!" : ""));
    }
    if (const auto* s = std::get_if<ServiceAnswered>(&e)) {
      const char* verdict = !s->answer ? "" : s->answer->ownCode ? "=" : "!";
      return word("answer" + hex(std::array{s->request, s->result}) + verdict);
    }
    if (const auto* r = std::get_if<TransferRefused>(&e)) {
      return word(r->otherModel ? "othermodel" : "busy");
    }
    if (const auto* v = std::get_if<VersionKnown>(&e)) {
      return word("version:" + std::string(v->text.begin(), v->text.end()));
    }
    if (const auto* p = std::get_if<Progress>(&e)) return word("row" + std::to_string(p->row));
    if (const auto* l = std::get_if<PortLost>(&e)) return word(l->wasLinked ? "lost!" : "lost");
    if (const auto* b = std::get_if<ReadBack>(&e)) return word("readback:" + hex(b->rows));
    static const char* const names[] = {"connecting", "sent",       "",      "linked",  "open",
                                        "failed",     "over",       "asked", "",        "refused",
                                        "",           "unanswered", "",      "arrived", "transfer",
                                        "uploaded",   "bye",        ""};
    word(names[e.index()]);
  }
};

const Bytes kReply2 = {0xAA, 0x55, 0x02, 0x88, 0x66};
const Bytes kServiceDone01 = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF5, 0x01, 0x00};

TEST(Session, AttemptWithoutAnswerHandshakesThirtyTimesFailsAtThirtyOneAndEndsAtThirtySix) {
  Recorder r;
  Session s;
  s.connect();
  r.collect(s);
  EXPECT_EQ(r.said, "connecting");
  for (int t = 1; t <= 36; ++t) {
    r.said.clear();
    s.tick(Tick::Link);
    r.collect(s);
    const char* expected = t <= 30   ? "w:A1AE sent"
                           : t == 31 ? "close failed"
                           : t == 36 ? "over idle"
                                     : "";
    EXPECT_EQ(r.said, expected) << t;
  }
}

// Steps of a conversation, each followed by what the front end heard ("*": anything).
struct Step {
  std::function<void(Session&)> act;
  std::string heard;
};
void play(const std::vector<Step>& steps, Session::Options options = {}) {
  Recorder r;
  Session s(options);
  for (std::size_t i = 0; i < steps.size(); ++i) {
    r.said.clear();
    steps[i].act(s);
    r.collect(s);
    if (steps[i].heard != "*") {
      EXPECT_EQ(r.said, steps[i].heard) << "step " << i;
    }
  }
}
Step reply(const Bytes& b, std::string heard) {
  return {[b](Session& s) { s.received(b); }, std::move(heard)};
}
Step tick(Tick t, std::string heard, int times = 1) {
  return {[t, times](Session& s) {
            for (int i = 0; i < times; ++i) s.tick(t);
          },
          std::move(heard)};
}
const Step kConnect = {[](Session& s) { s.connect(); }, "connecting"};
const Step kHandshake = tick(Tick::Link, "w:A1AE sent");

TEST(Session, ConversationsStepByStep) {
  const auto service = [](ServiceCommand c, std::string heard) {
    return Step{[c](Session& s) { s.service(c); }, std::move(heard)};
  };
  const auto bye = [](DisconnectBy by, std::string heard) {
    return Step{[by](Session& s) { s.disconnect(by); }, std::move(heard)};
  };
  const Step lost = {[](Session& s) { s.portLost(); }, ""};
  const std::vector<Step> connected = {kConnect, kHandshake, reply(kReply2, "model2!")};
  const auto then = [&](std::vector<Step> more) {
    std::vector<Step> all = connected;
    all.insert(all.end(), more.begin(), more.end());
    return all;
  };
  // A reply the line held before the first handshake answers nothing; the one after it counts.
  play({kConnect, reply(kReply2, ""), kHandshake, reply(kReply2, "model2!"),
        reply(kReply2, "model2")});
  // Settling, then the version query and the text once its 31 bytes have come; a longer text,
  // in whatever parts, is all of it, with the bytes that follow it during the wait.
  const auto version = [&](std::vector<Step> parts, const std::string& text) {
    std::vector<Step> steps = {tick(Tick::Link, "linked"), tick(Tick::Link, "", 4),
                               tick(Tick::Link, "open"), tick(Tick::VersionQuery, "w:A3AC asked")};
    steps.insert(steps.end(), parts.begin(), parts.end());
    steps.push_back(tick(Tick::VersionShown, "version:" + text + " idle"));
    play(then(steps));
  };
  version({reply(kReply2, ""), reply(Bytes(26, 'v'), "")},
          "\xAAU\x02\x88" + std::string("f") + std::string(26, 'v'));
  version({reply(Bytes(8, 'a'), ""), reply(Bytes(24, 'b'), ""), reply({'c'}, "")},
          std::string(8, 'a') + std::string(24, 'b') + "c");
  // A service command is refused without a connection, and answered once with one.
  play({service(ServiceCommand::Protocol1200, "refused")});
  play(then({service(ServiceCommand::RunModeOverlay, "w:F520"),
             reply({0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF5, 0xA0, 0x00}, "answer20A0="),
             reply(kServiceDone01, "")}));
  // A front end that gives up on a silent controller.
  play(then({service(ServiceCommand::Protocol1200, "w:F501"), tick(Tick::Service, "", 14),
             tick(Tick::Service, "unanswered"), reply(kServiceDone01, "")}),
       {.serviceGiveUpTick = 15});
  // Goodbyes: three from the button, one from the exit, none again from the unload.
  play(then({bye(DisconnectBy::Button, "w:A2AD w:A2AD w:A2AD close bye idle")}));
  play(then({bye(DisconnectBy::Exit, "w:A2AD close bye idle"), bye(DisconnectBy::Unload, "")}));
  // A frame left behind a close in the same call never reaches the port.
  play(then({{[](Session& s) {
                s.disconnect(DisconnectBy::Exit);
                s.download(ConfigImage{}, 0x11);
              },
              "w:A2AD close bye row0 transfer"}}));
  play({kConnect, bye(DisconnectBy::Unload, "idle"),
        bye(DisconnectBy::Interrupt, "w:A2AD close bye"), bye(DisconnectBy::Interrupt, "")});
  // The port goes away: every timer stops, and the user hears whether a link was lost.
  play({Step{lost.act, "close lost"}});
  play(then({Step{lost.act, "close lost! idle"}}));
  // An upload without a connection asks nothing on the line and runs into its time-out; with
  // one, rows come and a lost port interrupts it.
  play({{[](Session& s) { s.upload(); }, "row0 transfer"},
        tick(Tick::Upload, "", 4),
        tick(Tick::Upload, "", 1),
        tick(Tick::Upload, "", 4),
        tick(Tick::Upload, "transfer")});
  play(then({{[](Session& s) { s.upload(); }, "w:A200 row0 transfer"},
             reply({0xA2, 0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, "w:A201 arrived row0"),
             Step{lost.act, "close lost! transfer idle"}}));
}

// The rules of one transfer at a time, each row a conversation from the moment the controller
// answered: the image as it stood at the press, the other transfer refused, previews held and
// sent once, service answers by family, and row 18 answered with any row past it.
TEST(Session, OneImageAndOneTransferAtATime) {
  auto image = std::make_shared<ConfigImage>();
  (*image)(0, 0) = 7;
  (*image)(1, 0) = 8;
  const auto download = [&](std::optional<std::uint8_t> model, std::string heard) {
    return Step{[image, model](Session& s) { s.download(*image, 0x11, model); }, heard};
  };
  const auto ack = [](int row, std::string heard) {
    return reply({0xD0, static_cast<std::uint8_t>(row), 0x55}, std::move(heard));
  };
  const auto preview = [](int scene, std::string heard) {
    return Step{[scene](Session& s) {
                  ConfigImage i;
                  i(scene, 0) = static_cast<std::uint8_t>(scene);
                  s.preview(scenePreviewFrame(i, scene, 0, LevelTable{}));
                  s.preview(switchTestFrame(1, scene % 2 == 0));
                },
                std::move(heard)};
  };
  const auto answered = [](ServiceCommand c, std::uint8_t result, std::string heard) {
    return Step{[=](Session& s) {
                  s.service(c);
                  s.received(Bytes{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF5, result, 0x00});
                },
                std::move(heard)};
  };
  const std::vector<Step> linked = {kConnect, kHandshake, reply(kReply2, "model2!")};
  const auto then = [&](std::vector<Step> more) {
    std::vector<Step> all = linked;
    all.insert(all.end(), more.begin(), more.end());
    return all;
  };
  // The image at the press goes out, the edit made meanwhile waits; no second transfer.
  play(then({download(2, "w:D00007 w:F611 row0 transfer"),
             {[image](Session&) { (*image)(1, 0) = 9; }, ""},
             {[](Session& s) { s.upload(); }, "busy"},
             download(2, "busy"),
             ack(1, "w:D00108 row1")}));
  // An image of another model never starts.
  play(then({download(3, "othermodel"), download(std::nullopt, "w:D00007 w:F611 row0 transfer")}));
  // Previews wait for the end of the transfer, the latest of each kind once; row 18 is answered
  // by 20 as by 19, and 20 before row 18 answers nothing. The image holds the edit by now.
  std::vector<Step> steps = then({download(2, "w:D00007 w:F611 row0 transfer"), ack(20, ""),
                                  ack(1, "w:D00109 row1"), preview(3, ""), preview(4, "")});
  for (int r = 2; r <= 18; ++r) steps.push_back(ack(r, "*"));
  steps.push_back(ack(20, "w:D1D104 w:A001 transfer"));
  steps.push_back(preview(5, "w:D1D105 w:A001"));
  play(steps);
  // A service answer of the command's family is its own; the other family's is a refusal; a
  // code outside the table says nothing.
  play(then({answered(ServiceCommand::Protocol1200, 0x02, "w:F501 answer0102="),
             answered(ServiceCommand::RunModeOverlay, 0x10, "w:F520 answer2010="),
             answered(ServiceCommand::RunModeOverlay, 0x01, "w:F520 answer2001!"),
             answered(ServiceCommand::RunModeOverlay, 0x30, "w:F520 answer2030")}));
}

Bytes cat(std::initializer_list<std::span<const std::uint8_t>> parts) {
  Bytes all;
  for (const auto p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// A reply is taken only when its bytes are exactly the reply asked for, whole or a byte a
// millisecond: not with noise before or inside it, not a row not asked for, not the echo of the
// request. A controller that takes 250 ms a row, busy meanwhile, gets each row at most twice.
TEST(Session, OnlyTheControllersReplyIsTakenAndTheRepeatFollowsTheAnswerTime) {
  using namespace std::chrono_literals;
  const Bytes row = {0xA2, 0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, noise = {0xA2, 5};
  const Frame echo = Frame::fromHex(frames::kProtocol1200);
  const struct {
    Bytes bytes;
    bool upload, taken;
  } cases[] = {{row, true, true},
               {cat({std::span(noise).first(1), row}), true, false},
               {cat({std::span(row).first(5), noise, std::span(row).subspan(5)}), true, false},
               {cat({noise, std::span(row).subspan(2)}), true, false},
               {cat({echo.bytes().first(8)}), false, false},
               {cat({echo.bytes(), kServiceDone01}), false, true},
               {{}, true, true}};  // the slow controller
  for (const auto& c : cases) {
    for (const std::size_t step : {c.bytes.size(), std::size_t{1}}) {
      Recorder r;
      Session s;
      auto t = TransferClock::now(), free = t;
      s.connect(t), s.tick(Tick::Link, t), s.received(kReply2, t);
      c.upload ? s.upload(t) : s.service(ServiceCommand::Protocol1200, t);
      r.collect(s);
      r.said.clear();
      for (std::size_t i = 0; i < c.bytes.size(); i += step) {
        s.received(std::span(c.bytes).subspan(i, step), t += 1ms);
      }
      s.timeout(t + kLongestQuiet);
      r.collect(s);
      std::vector<TransferClock::time_point> came(r.writes.size(), t);
      for (std::size_t served = r.writes.size() - 1; c.bytes.empty() && s.nextDeadline();) {
        const auto answer = served < came.size() ? std::max(free, came[served]) + 250ms : t + 1h;
        if (s.uploading().done()) break;
        if (answer <= *s.nextDeadline()) {
          s.received(cat({r.writes[served++].bytes().first(2), Bytes(12)}), t = free = answer);
        } else {
          s.timeout(t = *s.nextDeadline());
        }
        r.collect(s);
        came.resize(r.writes.size(), t);
      }
      EXPECT_EQ(r.said.find(c.upload ? "arrived" : "answer") != std::string::npos, c.taken)
          << Recorder::hex(c.bytes) << " by " << step << ": " << r.said;
      EXPECT_LE(r.writes.size(), 1U + 38U);
    }
  }
}

// A download read back: once it has closed, the session asks for the image itself, and the
// controller's image is compared with the one sent, never taken as an upload's.
TEST(Session, ADownloadReadBackComparesTheControllersImageWithTheOneSent) {
  ConfigImage sent;
  sent(1, 0) = 8;
  std::vector<Step> steps = {kConnect,
                             kHandshake,
                             reply(kReply2, "model2!"),
                             {[sent](Session& s) { s.download(sent, 0x11); }, "*"}};
  for (int r = 1; r <= 19; ++r) {
    steps.push_back(reply({0xD0, static_cast<std::uint8_t>(r), 0x55},
                          r < 19 ? "*" : "w:A200 transfer transfer row0 transfer"));
  }
  const auto rows = [&](std::uint8_t differing, const std::string& last) {
    for (std::uint8_t r = 0; r < kRows; ++r) {
      Bytes row = {0xA2, r, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
      row[2] = r == differing ? 9 : sent(r, 0);
      steps.push_back(reply(row, r == kRows - 1 ? last : "*"));
    }
  };
  rows(1, "w:A213 arrived row18 transfer readback:01");
  steps.push_back(tick(Tick::Upload, "transfer", 5));
  steps.push_back({[](Session& s) { s.upload(); }, "w:A200 row0 transfer"});
  rows(kRows, "w:A213 arrived row18 transfer uploaded");
  play(steps, {.readBack = true});
}

// What a call left is carried out before any event is told; a call the front end makes while
// an event is told goes out before the next event, its events after those waiting; a reply
// already at the port counts before the time that would repeat its request.
TEST(PortDriver, EachCallIsCarriedOutBeforeTheNextEvent) {
  const Bytes row0 = {0xA2, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  const struct {
    std::function<void(Session&)> call;
    Bytes waiting;        // reached the port, not yet told
    std::string reactTo;  // the event on which the front end calls `react`
    std::function<void(Session&)> react;
    std::string heard;  // "/x": told with the port closed
  } cases[] = {
      {[](Session& s) { s.download(ConfigImage{}, 0x11); },
       {},
       "row0",
       [](Session& s) { s.disconnect(DisconnectBy::Exit); },
       "w:D00000 w:F611 row0 w:A2AD transfer/x transfer/x bye/x"},
      {[](Session& s) { s.portLost(); },
       {},
       "lost!",
       [](Session& s) { s.upload(); },
       "lost!/x row0/x transfer/x"},
      {[](Session& s) { s.timeout(); }, row0, "", {}, "w:A201 arrived row0"},
  };
  int argc = 0;
  const QCoreApplication app(argc, nullptr);  // for the driver's timer
  for (const auto& c : cases) {
    FakePort port;
    port.ports[1] = PortError::None;
    port.setPortNumber(1);
    port.open();
    Session session;
    PortDriver driver(port, session);
    Recorder r;
    port.onWrite = [&](std::span<const std::uint8_t> b) { r.written(b); };
    driver.onEvent = [&](const SessionEvent& e) {
      const std::size_t at = r.said.size();
      r.happened(e);
      const bool react = r.said.substr(at + (at > 0 ? 1 : 0)) == c.reactTo;
      if (!port.isOpen()) r.said += "/x";
      if (react) driver.run([&] { c.react(session); });
    };
    driver.run([&] { session.connect(); });
    driver.run([&] { session.tick(Tick::Link); });
    port.inject(kReply2);
    driver.run({});
    if (!c.waiting.empty()) {
      // Its time-out is due when the row has reached the port.
      driver.run([&] { session.upload(TransferClock::now() - std::chrono::seconds(1)); });
      port.inject(c.waiting);
    }
    r.said.clear();
    driver.run([&] { c.call(session); });
    EXPECT_EQ(r.said, c.heard);
  }
}

}  // namespace
}  // namespace qz
