#pragma once

// Small text helpers for reading and forging SIP messages in tests.

#include <string>
#include <vector>

#include "tests/support/MessageText.h"
#include "tests/support/TextFile.h"

using kyttest::BodyOf;
using kyttest::ReplaceAll;
using kyttest::StartLineOf;

// The first value of a header (exact name), or "".
std::string HeaderOf(const std::string& text, const std::string& name);
std::vector<std::string> HeadersOf(const std::string& text, const std::string& name);
// The number of a CSeq value.
int CSeqNumberOf(const std::string& text);
std::string BranchOf(const std::string& text);  // of the top Via
// A response to a request text, as a peer would send it. toTag is added to To when not empty;
// extra holds whole header lines, each ended with CR LF.
std::string ResponseTo(const std::string& request, int nCode, const std::string& reason,
                       const std::string& toTag = "", const std::string& extra = "",
                       const std::string& body = "");
