// The publisher behind the output interface, with a real broker that is
// away while frames come: the queue keeps the newest 10,000 in order, says
// once that it is full, and delivers them in order when the broker is back.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "output/JsonOutput.h"
#include "output/MqttOutput.h"
#include "support/BrokerTestDaemon.h"
#include "support/TestSubscriber.h"

TEST(MqttOutput, FullQueueDropsTheOldestAndTheRestGoOutInOrderOnceTheBrokerIsBack)
{
    if (CBrokerTestDaemon::Program().empty())
        GTEST_SKIP() << "mosquitto is not installed";
    CBrokerTestDaemon broker;
    std::string why;
    ASSERT_TRUE(broker.Start({}, why)) << why;
    CTestSubscriber sub("halvex-test-queue");
    ASSERT_TRUE(sub.Subscribe(broker.Port(), "halvex/queue/frames", why)) << why;
    broker.Stop();

    std::vector<std::string> said;
    std::mutex saidMutex;
    MqttSettings settings;
    settings.strUrl = broker.Url();
    settings.strStation = "queue";
    settings.onReport = [&](const std::string& text) {
        std::lock_guard<std::mutex> lock(saidMutex);
        said.push_back(text);
    };
    CMqttOutput output(settings);
    ASSERT_TRUE(output.Start(why)) << why;
    const size_t extra = 3;
    std::vector<std::string> expected;
    for (size_t i = 0; i < CMqttOutput::kQueueLimit + extra; ++i) {
        MessageRecord r;
        r.nTime = 1241186580 + static_cast<int64_t>(i);
        r.frame = {static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i)};
        r.strLine = "frame " + std::to_string(i);
        output.Write(r);
        if (i >= extra)
            expected.push_back(MessageRecordToJson(r, "queue"));
    }
    EXPECT_EQ(output.Pending(), CMqttOutput::kQueueLimit);
    EXPECT_EQ(output.Dropped(), extra);
    EXPECT_NE(output.GetState(), CMqttOutput::State::Connected);

    ASSERT_TRUE(broker.Restart(why)) << why;
    output.SetFinishWait(std::chrono::seconds(60));
    EXPECT_FALSE(output.Finish());  // three were dropped
    EXPECT_EQ(output.Pending(), 0u);
    EXPECT_EQ(output.Delivered(), CMqttOutput::kQueueLimit);
    ASSERT_TRUE(sub.WaitForCount("halvex/queue/frames", expected.size(), std::chrono::seconds(20)));
    EXPECT_EQ(sub.Payloads("halvex/queue/frames"), expected);

    std::lock_guard<std::mutex> lock(saidMutex);
    size_t full = 0;
    for (const std::string& text : said)
        full += text.find("queue for the broker is full") != std::string::npos ? 1 : 0;
    EXPECT_EQ(full, 1u);
    ASSERT_FALSE(said.empty());
    EXPECT_EQ(said.back(), "3 frames could not be delivered to the broker (3 dropped from a full queue)");
}
