#include "automation/chromium/DevToolsSession.h"

#include "FakeClock.h"
#include "FakePeer.h"
#include "automation/Limits.h"
#include "automation/chromium/PipeTransport.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using automation::Error;
using automation::chromium::DeadlineExceeded;
using automation::chromium::DevToolsSession;
using automation::chromium::PipeTransport;
using nlohmann::json;
using namespace std::chrono_literals;

namespace {

struct SessionOverPipes : ::testing::Test
{
    FakePeer peer;
    FakeClock clock{[this] { return peer.quiet(); }};
    DevToolsSession session{std::make_unique<PipeTransport>(std::move(peer.programRead),
                                                            std::move(peer.programWrite), clock),
                            clock};

    // How long the clock says has passed since the moment.
    std::chrono::milliseconds since(FakeClock::TimePoint start)
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(clock.now() - start);
    }

    static DevToolsSession::Request request(const std::string& method,
                                            std::chrono::milliseconds timeout = 500ms,
                                            const std::string& sessionId = {})
    {
        return {"LocationURL", method, {{"x", 1}}, sessionId, timeout};
    }
};

} // namespace

TEST_F(SessionOverPipes, WritesNumberedNulTerminatedRequests)
{
    peer.write(json{{"id", 1}, {"result", {{"a", 1}}}});
    peer.write(json{{"id", 2}, {"result", json::object()}, {"sessionId", "S"}});
    session.call(request("Target.getTargets"));
    session.call(request("Runtime.evaluate", 500ms, "S"));

    const json first = peer.read();
    EXPECT_EQ(first["id"], 1);
    EXPECT_EQ(first["method"], "Target.getTargets");
    EXPECT_EQ(first["params"], json({{"x", 1}}));
    EXPECT_FALSE(first.contains("sessionId"));
    const json second = peer.read();
    EXPECT_EQ(second["id"], 2);
    EXPECT_EQ(second["sessionId"], "S");
    EXPECT_EQ(session.roundTrips(), 2);
}

TEST_F(SessionOverPipes, PairsTheAnswerAndKeepsEventsThatCameFirst)
{
    // Events, an answer nobody waits for, garbage and an answer split across writes,
    // all before the answer that is waited for.
    peer.write(json{{"method", "Target.targetCreated"}, {"params", {{"n", 1}}}});
    peer.write(json{{"id", 77}, {"result", {{"stale", true}}}});
    peer.write(std::string("this is not json"));
    peer.write(json{{"method", "Target.targetInfoChanged"}, {"params", {{"n", 2}}}});
    const std::string answer = json{{"id", 1}, {"result", {{"value", 42}}}}.dump();
    peer.write(answer.substr(0, 5), false);
    std::thread late = peer.writeLater([&] {
        std::this_thread::sleep_for(50ms);
        peer.write(answer.substr(5));
    });
    const json result = session.call(request("Runtime.evaluate"));
    late.join();

    EXPECT_EQ(result, json({{"value", 42}}));
    ASSERT_TRUE(session.hasEvents());
    EXPECT_EQ(session.nextEvent()["params"]["n"], 1);
    EXPECT_EQ(session.nextEvent()["params"]["n"], 2);
    EXPECT_TRUE(session.nextEvent().is_null());
}

TEST_F(SessionOverPipes, AMessageLargerThanThePipeArrivesWhole)
{
    const std::string big(300000, 'x');
    std::thread writer = peer.writeLater([&] {
        peer.write(json{{"id", 1}, {"result", {{"big", big}}}});
    });
    const json result = session.call(request("Page.getResourceTree", 5000ms));
    writer.join();
    EXPECT_EQ(result["big"].get<std::string>().size(), big.size());
}

TEST_F(SessionOverPipes, AProtocolErrorNamesTheMemberAndTheMessage)
{
    peer.write(
        json{{"id", 1}, {"error", {{"code", -32000}, {"message", "No target with given id"}}}});
    try {
        session.call(request("Target.closeTarget"));
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.member(), "LocationURL");
        EXPECT_NE(std::string(error.what()).find("No target with given id"), std::string::npos);
    }
    // The session carries on.
    peer.write(json{{"id", 2}, {"result", {{"ok", true}}}});
    EXPECT_EQ(session.call(request("Target.getTargets"))["ok"], true);
}

TEST_F(SessionOverPipes, ASilentPeerCostsOneDeadlineAndTheLateAnswerIsDropped)
{
    const auto start = clock.now();
    try {
        session.call(request("Runtime.evaluate", 200ms, "PAGE"));
        FAIL() << "no error";
    } catch (const DeadlineExceeded& late) {
        EXPECT_EQ(late.member(), "LocationURL");
        EXPECT_EQ(late.requestId(), 1);
    }
    EXPECT_EQ(since(start), 200ms);
    EXPECT_EQ(session.overdue("PAGE"), 1);
    EXPECT_EQ(session.overdue(""), 0);

    // The late answer arrives before the next one: it is not taken for it.
    peer.write(json{{"id", 1}, {"result", {{"which", "late"}}}});
    peer.write(json{{"id", 2}, {"result", {{"which", "current"}}}});
    EXPECT_EQ(session.call(request("Runtime.evaluate", 500ms, "PAGE"))["which"], "current");
    EXPECT_EQ(session.overdue("PAGE"), 0);
}

TEST_F(SessionOverPipes, ForgettingASessionForgetsItsOverdueRequests)
{
    EXPECT_THROW(session.call(request("Runtime.evaluate", 50ms, "A")), DeadlineExceeded);
    EXPECT_THROW(session.call(request("Runtime.evaluate", 50ms, "B")), DeadlineExceeded);
    session.forgetSession("A");
    EXPECT_EQ(session.overdue("A"), 0);
    EXPECT_EQ(session.overdue("B"), 1);
}

TEST_F(SessionOverPipes, EndOfFileFailsEveryCallAtOnce)
{
    peer.write(json{{"method", "Target.targetDestroyed"}, {"params", json::object()}});
    peer.closePeerWrite();
    const auto start = clock.now();
    EXPECT_THROW(session.call(request("Target.getTargets", 5000ms)), Error);
    EXPECT_FALSE(session.alive());
    EXPECT_THROW(session.call(request("Target.getTargets", 5000ms)), Error);
    EXPECT_EQ(since(start), 0ms);
    // The event that came before the end is still there.
    EXPECT_EQ(session.nextEvent()["method"], "Target.targetDestroyed");
    EXPECT_EQ(session.post(request("Runtime.terminateExecution")), 0);
}

TEST_F(SessionOverPipes, WritingToAVanishedPeerIsAnErrorNotASignal)
{
    peer.closePeerRead();
    try {
        session.call(request("Target.getTargets"));
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find("gone"), std::string::npos);
    }
    EXPECT_FALSE(session.alive());
}

TEST_F(SessionOverPipes, PumpKeepsEventsWithoutWaiting)
{
    peer.write(json{{"method", "Target.attachedToTarget"}, {"params", {{"sessionId", "S"}}}});
    const auto start = clock.now();
    session.pump();
    session.pump();
    EXPECT_EQ(since(start), 0ms);
    EXPECT_EQ(session.nextEvent()["params"]["sessionId"], "S");
    EXPECT_FALSE(session.hasEvents());
}

TEST_F(SessionOverPipes, AnAnswerWithABrokenCharacterIsMendedNotLost)
{
    // A page's string cut inside a surrogate pair: the JSON reader refuses it, and a
    // dropped answer would hold the page for overdue ever after.
    peer.write(std::string(R"({"id":1,"result":{"result":{"value":"tit\ud83d"}}})"));
    const auto start = clock.now();
    const json result = session.call(request("Runtime.callFunctionOn", 2000ms, "PAGE"));
    EXPECT_EQ(since(start), 0ms);
    EXPECT_EQ(result["result"]["value"], "tit\uFFFD");
    EXPECT_EQ(session.overdue("PAGE"), 0);
}

TEST_F(SessionOverPipes, AnAnswerTooLongOrTooDeepFailsItsCallAtOnceAndTheSessionGoesOn)
{
    // Nested past reason; then longer than any message the program takes, written
    // before the answer that follows it.
    peer.write(R"({"id":1,"result":{"v":)" + std::string(10000, '[') + std::string(10000, ']') +
               "}}");
    std::thread writer = peer.writeLater([&] {
        peer.write(R"({"id":2,"result":{"v":")" +
                   std::string(automation::limits::kMaxMessage, 'x') + "\"}}");
        peer.write(json{{"method", "Target.targetCreated"}, {"params", {{"n", 1}}}});
        peer.write(json{{"id", 3}, {"result", {{"ok", true}}}});
    });
    for (const char* method : {"Page.getFrameTree", "Page.getResourceTree"}) {
        try {
            session.call(request(method, 30000ms, "PAGE"));
            ADD_FAILURE() << method << " gave an answer";
        } catch (const DeadlineExceeded&) {
            ADD_FAILURE() << method << " waited for its deadline";
        } catch (const Error& error) {
            EXPECT_NE(std::string(error.what()).find(method), std::string::npos) << error.what();
        }
    }
    EXPECT_EQ(session.call(request("Target.getTargets", 30000ms))["ok"], true);
    writer.join();
    EXPECT_TRUE(session.alive());
    EXPECT_EQ(session.nextEvent()["params"]["n"], 1);
    EXPECT_EQ(session.overdue("PAGE"), 0);
}

TEST_F(SessionOverPipes, ABrowserThatFallsSilentCostsOneDeadlineUntilItAnswersAgain)
{
    EXPECT_THROW(session.call(request("Target.getTargets", 200ms)), DeadlineExceeded);
    EXPECT_EQ(peer.read()["method"], "Target.getTargets");
    // The browser was sent one cheap question when it fell silent.
    const json probe = peer.read();
    EXPECT_EQ(probe["method"], "Browser.getVersion");

    const auto start = clock.now();
    for (int i = 0; i < 10; ++i) {
        EXPECT_THROW(session.call(request("Browser.getWindowBounds", 2000ms)), Error);
        EXPECT_THROW(session.call(request("Runtime.callFunctionOn", 2000ms, "PAGE")), Error);
        EXPECT_EQ(session.post(request("Runtime.releaseObjectGroup", 2000ms, "PAGE")), 0);
    }
    EXPECT_EQ(since(start), 0ms);
    EXPECT_TRUE(session.browserSilent());
    EXPECT_TRUE(session.alive());

    // Its answer to the question says it is back, even before the late answer comes.
    peer.write(json{{"id", probe["id"]}, {"result", {{"product", "Chrome"}}}});
    std::thread browser = peer.writeLater([&] {
        peer.write(json{{"id", peer.read()["id"]}, {"result", {{"ok", true}}}});
    });
    EXPECT_EQ(session.call(request("Target.getTargets", 2000ms))["ok"], true);
    browser.join();
    EXPECT_FALSE(session.browserSilent());
}

TEST_F(SessionOverPipes, APageThatFallsSilentDoesNotSilenceTheBrowser)
{
    EXPECT_THROW(session.call(request("Runtime.evaluate", 100ms, "PAGE")), DeadlineExceeded);
    EXPECT_FALSE(session.browserSilent());
    peer.write(json{{"id", 2}, {"result", {{"ok", true}}}});
    EXPECT_EQ(session.call(request("Target.getTargets", 2000ms))["ok"], true);
}

TEST_F(SessionOverPipes, AFloodOfEventsKeepsOnlyTheNewestWithinBounds)
{
    const auto drain = [&] {
        std::vector<json> events;
        for (json event = session.nextEvent(); !event.is_null(); event = session.nextEvent())
            events.push_back(std::move(event));
        return events;
    };
    // Large events: as many of the newest as fit in the bytes kept.
    const std::string big(8u << 20, 'u');
    std::thread writer = peer.writeLater([&] {
        for (int i = 0; i < 12; ++i)
            peer.write(
                json{{"method", "Target.targetInfoChanged"}, {"params", {{"n", i}, {"url", big}}}});
        peer.write(json{{"method", "Target.targetCreated"}, {"params", {{"n", 12}}}});
        peer.write(json{{"id", 1}, {"result", json::object()}});
    });
    session.call(request("Target.getTargets", 30000ms));
    writer.join();
    auto events = drain();
    ASSERT_EQ(events.size(), 8u);
    EXPECT_EQ(events.front()["params"]["n"], 5);
    EXPECT_EQ(events.back()["params"]["n"], 12);

    // Small ones: as many of the newest as are kept.
    writer = peer.writeLater([&] {
        for (int i = 0; i < 10005; ++i)
            peer.write(json{{"method", "Target.targetCreated"}, {"params", {{"n", i}}}});
        peer.write(json{{"id", 2}, {"result", json::object()}});
    });
    session.call(request("Target.getTargets", 30000ms));
    writer.join();
    events = drain();
    ASSERT_EQ(events.size(), DevToolsSession::kMaxEvents);
    EXPECT_EQ(events.front()["params"]["n"], 5);
}

TEST_F(SessionOverPipes, RequestsSentTogetherAreAnsweredInAnyOrderAndOneNotWaitedForIsOverdue)
{
    const auto first = session.postKept(request("Browser.getWindowBounds"));
    const auto second = session.postKept(request("Runtime.callFunctionOn", 500ms, "P"));
    const auto third = session.postKept(request("Runtime.callFunctionOn", 500ms, "Q"));
    const auto fourth = session.postKept(request("Page.getFrameTree", 500ms, "P"));
    ASSERT_NE(first.id * second.id * third.id * fourth.id, 0);
    // Answers out of order, one an error, one too long to take; the third never comes.
    std::thread writer = peer.writeLater([&] {
        peer.write(json{{"id", fourth.id}, {"result", {{"n", 4}}}});
        peer.write(json{{"id", first.id},
                        {"error", {{"code", -32000}, {"message", "Browser window not found"}}}});
        peer.write(R"({"id":)" + std::to_string(second.id) + R"(,"result":{"v":")" +
                   std::string(automation::limits::kMaxMessage, 'x') + "\"}}");
        peer.write(json{{"method", "Target.targetCreated"}, {"params", {{"n", 1}}}});
    });
    const auto start = clock.now();
    // Taken in as they come, without waiting for any.
    while (!session.hasEvents())
        session.pump();
    writer.join();
    EXPECT_EQ(since(start), 0ms);

    const auto fourthAnswer = session.takeAnswer(fourth);
    ASSERT_TRUE(fourthAnswer.has_value());
    EXPECT_FALSE(fourthAnswer->error.has_value());
    EXPECT_EQ(fourthAnswer->result, json({{"n", 4}}));
    const auto firstAnswer = session.takeAnswer(first);
    ASSERT_TRUE(firstAnswer.has_value());
    EXPECT_NE(firstAnswer->error.value_or("").find("Browser window not found"), std::string::npos);
    EXPECT_TRUE(session.takeAnswer(second).value_or(DevToolsSession::Answer{}).error.has_value());
    EXPECT_FALSE(session.takeAnswer(third).has_value());
    EXPECT_EQ(session.nextEvent()["params"]["n"], 1);

    // Given up on, it holds its page as a call that ran out of time does, but the
    // browser is not taken for stopped; its late answer frees the page.
    session.abandon(third);
    EXPECT_EQ(session.roundTrips(), 4);
    EXPECT_EQ(session.overdue("Q"), 1);
    EXPECT_FALSE(session.browserSilent());
    peer.write(json{{"id", third.id}, {"result", json::object()}});
    session.pump();
    EXPECT_EQ(session.overdue("Q"), 0);
    EXPECT_TRUE(session.takeAnswer(third).value_or(DevToolsSession::Answer{}).error.has_value());
}
