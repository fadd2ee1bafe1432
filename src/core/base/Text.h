#pragma once
#include <initializer_list>
#include <string>
#include <string_view>

namespace merilog {

// ASCII upper case: resource strings, model fields and keys are ASCII.
std::string Upper(std::string text);

bool Contains(std::string_view text, std::string_view part);
bool ContainsAny(std::string_view text, std::initializer_list<std::string_view> parts);
// The identification and model tests: a match at the very first character does not count.
bool FoundAfterFirstCharacter(std::string_view text, std::string_view part);

// A meter's function answer as the panel compares it: without double quotes and line feeds.
std::string StripQuotesAndLineFeeds(std::string text);

}  // namespace merilog
