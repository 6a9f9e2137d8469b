// Broker URLs and station names as the programs take them.
#include <gtest/gtest.h>

#include "network/MqttLink.h"

TEST(MqttUrl, TakesTheSchemeUserHostAndPort)
{
    MqttUrl u;
    std::string why;
    ASSERT_TRUE(ParseMqttUrl("mqtt://broker.example.org", u, why)) << why;
    EXPECT_FALSE(u.bTls);
    EXPECT_EQ(u.strHost, "broker.example.org");
    EXPECT_EQ(u.nPort, 1883);
    EXPECT_EQ(u.strUser, "");

    ASSERT_TRUE(ParseMqttUrl("mqtts://station7@10.0.0.2", u, why)) << why;
    EXPECT_TRUE(u.bTls);
    EXPECT_EQ(u.nPort, 8883);
    EXPECT_EQ(u.strUser, "station7");
    EXPECT_EQ(u.strHost, "10.0.0.2");

    ASSERT_TRUE(ParseMqttUrl("mqtt://a@[::1]:1884/", u, why)) << why;
    EXPECT_EQ(u.strHost, "::1");
    EXPECT_EQ(u.nPort, 1884);
    ASSERT_TRUE(ParseMqttUrl("mqtt://h:65535", u, why));
    EXPECT_EQ(u.nPort, 65535);
}

TEST(MqttUrl, RefusesWhatIsNoBrokerAddressAndKeepsTheOldValue)
{
    MqttUrl u;
    u.strHost = "kept";
    std::string why;
    for (const char* bad : {"", "broker:1883", "http://h", "MQTT://h", "mqtt://", "mqtt://:1883", "mqtt://h:",
                            "mqtt://h:0", "mqtt://h:65536", "mqtt://h:12a", "mqtt://h/topic", "mqtt://h?x=1",
                            "mqtt://@h", "mqtt://[::1", "mqtt://[::1]x", "mqtt://h h", "mqtt://h:1883:1"}) {
        SCOPED_TRACE(bad);
        why.clear();
        EXPECT_FALSE(ParseMqttUrl(bad, u, why));
        EXPECT_FALSE(why.empty());
    }
    EXPECT_EQ(u.strHost, "kept");
    // A password in the URL would end up in process lists and shell history.
    EXPECT_FALSE(ParseMqttUrl("mqtts://user:secret@h", u, why));
    EXPECT_NE(why.find("HALVEX_MQTT_PASSWORD"), std::string::npos);
    EXPECT_EQ(why.find("secret"), std::string::npos);
}

TEST(MqttUrl, StationNamesFitBetweenTopicLevels)
{
    std::string why;
    EXPECT_TRUE(CheckStationName("Gr\xC3\xBCnwald-2 (roof)", why));
    for (const std::string& bad : {std::string(), std::string("a/b"), std::string("+"), std::string("x#"),
                                   std::string("tab\there"), std::string(65, 'x')}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(CheckStationName(bad, why));
    }
    EXPECT_TRUE(CheckStationName(DefaultStationName(), why));
}
