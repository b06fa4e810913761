#pragma once

// Small text helpers for reading and forging SIP messages in tests.

#include <string>
#include <vector>

#include "tests/support/MessageText.h"
#include "tests/support/TextFile.h"

using kyttest::BodyOf;
using kyttest::BranchOf;
using kyttest::CSeqNumberOf;
using kyttest::HeaderOf;
using kyttest::HeadersOf;
using kyttest::ReplaceAll;
using kyttest::StartLineOf;

// A response to a request text, as a peer would send it. toTag is added to To when not empty;
// extra holds whole header lines, each ended with CR LF.
std::string ResponseTo(const std::string& request, int nCode, const std::string& reason,
                       const std::string& toTag = "", const std::string& extra = "",
                       const std::string& body = "");
