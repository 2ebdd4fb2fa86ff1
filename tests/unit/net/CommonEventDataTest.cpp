#include "config/ConfigurationManager.h"
#include "config/SystemFacts.h"
#include "net/CommonEventData.h"

#include <gtest/gtest.h>

#include <cctype>

namespace {

TEST(CommonEventData, SignsWithTheDigestOfMachineIdAndRunTimestamp)
{
    auto configuration = ConfigurationManager::GetInstance();
    const std::string savedId = configuration->machineId;
    const std::string savedTimestamp = configuration->runTimestamp;
    configuration->machineId = "machine-1";
    configuration->runTimestamp = "20260101120000";

    const CommonEventData data = BuildCommonEventData();
    configuration->machineId = savedId;
    configuration->runTimestamp = savedTimestamp;

    ASSERT_EQ(1u, data.headers.size());
    EXPECT_EQ(L"Authorization", data.headers[0].first);
    EXPECT_EQ(L"Signature=bd79fa9561158d36072b289bf4c58e5bbfb45c23c0aa261f06b739ff159f0b09", data.headers[0].second);
    EXPECT_EQ("machine-1", data.baseRecord.at("1"));
    EXPECT_EQ("20260101120000", data.baseRecord.at("2"));
}

TEST(CommonEventData, CarriesOneSignatureForTheWholeRun)
{
    const CommonEventData first = BuildCommonEventData();
    const CommonEventData second = BuildCommonEventData();

    ASSERT_EQ(1u, first.headers.size());
    const std::wstring& value = first.headers[0].second;
    ASSERT_EQ(74u, value.size());
    EXPECT_EQ(L"Signature=", value.substr(0, 10));
    for (wchar_t c : value.substr(10))
        EXPECT_TRUE(iswdigit(c) || (c >= L'a' && c <= L'f')) << "not lower-case hex: " << static_cast<int>(c);
    EXPECT_EQ(first.headers, second.headers);
}

TEST(CommonEventData, BuildsTheBaseRecord)
{
    auto configuration = ConfigurationManager::GetInstance();
    const CString savedTitle = configuration->productTitle;
    configuration->productTitle = L"Demo Product";
    const nlohmann::json record = BuildCommonEventData().baseRecord;
    configuration->productTitle = savedTitle;

    // "0" to "22", then "31" and "38".
    EXPECT_EQ(25u, record.size());
    for (const char* key : {"0", "5", "6", "8", "9", "10", "11", "12", "13", "14", "16", "17", "18", "20"})
        EXPECT_EQ("", record.at(key)) << key;
    EXPECT_EQ(configuration->GetMachineId(), record.at("1"));
    EXPECT_EQ(configuration->GetRunTimestamp(), record.at("2"));
    EXPECT_EQ("Tarvinel", record.at("3"));
    EXPECT_EQ("Tarvinel_DLM", record.at("4"));
    EXPECT_EQ(ToAnsi(configuration->programVersion), record.at("7"));
    EXPECT_TRUE(record.at("15").is_number_integer());
    EXPECT_EQ(0, record.at("15"));
    EXPECT_EQ(ToAnsi(configuration->productTagFl), record.at("19"));
    EXPECT_EQ(ToAnsi(configuration->productTagH), record.at("21"));
    EXPECT_EQ("Demo Product", record.at("22"));
    EXPECT_EQ(GetOsVersionText(), record.at("31"));
    EXPECT_EQ("1", record.at("38"));
}

} // namespace
