// What every analytics event starts from: the base record and the signed header list.
#pragma once

#include "net/HttpClient.h"

#include <nlohmann/json.hpp>

struct CommonEventData {
    // Members "0" to "22" (empty unless set) plus the run's identifiers and product texts.
    nlohmann::json baseRecord;
    // The single pair ("Authorization", "Signature=" + SHA-256 of machine id and run timestamp).
    HeaderList headers;
};

// Built from the process-wide configuration; every call in one run carries the same signature.
CommonEventData BuildCommonEventData();
