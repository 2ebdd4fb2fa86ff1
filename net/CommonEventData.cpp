#include "net/CommonEventData.h"

#include "config/ConfigurationManager.h"
#include "config/SystemFacts.h"
#include "net/Encodings.h"

#include <string>

CommonEventData BuildCommonEventData()
{
    auto configuration = ConfigurationManager::GetInstance();
    const std::string machineId = configuration->GetMachineId();
    const std::string runTimestamp = configuration->GetRunTimestamp();

    CommonEventData data;
    // The signature proves nothing secret: it only ties the events of one run together.
    const std::wstring signature = Utf8ToWide(Sha256Hex(machineId + runTimestamp));
    data.headers.emplace_back(L"Authorization", L"Signature=" + signature);

    nlohmann::json record = nlohmann::json::object();
    for (int key = 0; key <= 22; ++key)
        record[std::to_string(key)] = "";
    record["1"] = machineId;
    record["2"] = runTimestamp;
    record["3"] = ToAnsi(configuration->makerName);
    record["4"] = ToAnsi(configuration->channelName);
    record["7"] = ToAnsi(configuration->programVersion);
    record["15"] = 0;
    record["19"] = ToAnsi(configuration->productTagFl);
    record["21"] = ToAnsi(configuration->productTagH);
    record["22"] = ToAnsi(configuration->productTitle);
    record["31"] = GetOsVersionText();
    record["38"] = "1";
    data.baseRecord = std::move(record);
    return data;
}
