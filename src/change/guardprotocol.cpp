#include "guardprotocol.h"

#include <limits>

namespace {

struct Verb {
    const char* word;
    GuardRequest::Kind kind;
};
const Verb kVerbs[] = {
    {"sync-state", GuardRequest::SyncState}, {"sync-off", GuardRequest::SyncOff}, {"sync-on", GuardRequest::SyncOn},
    {"date", GuardRequest::Date},            {"undo", GuardRequest::Undo},        {"adopt", GuardRequest::Adopt},
};

std::string dateText(const CivilDate& date)
{
    return date.isNull() ? "-" : isoDate(date);
}

// A date the window could set: years 100 to 9999.
bool parseDate(const std::string& text, CivilDate* date)
{
    CivilDate parsed;
    if (!parseIsoDate(text, &parsed) || parsed.year < 100)
        return false;
    *date = parsed;
    return true;
}

bool parseFlag(const std::string& text, bool* flag)
{
    if (text != "0" && text != "1")
        return false;
    *flag = text == "1";
    return true;
}

// Split at single blanks; an empty part (two blanks, a blank at an end) is no request.
bool splitWords(const std::string& line, std::string* words, std::size_t most, std::size_t* count)
{
    *count = 0;
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type blank = line.find(' ', start);
        const std::string word = line.substr(start, blank == std::string::npos ? std::string::npos : blank - start);
        if (word.empty() || *count == most)
            return false;
        words[(*count)++] = word;
        if (blank == std::string::npos)
            return true;
        start = blank + 1;
    }
}

}  // namespace

std::string formatRequest(const GuardRequest& request)
{
    std::string line;
    for (const Verb& verb : kVerbs) {
        if (verb.kind == request.kind)
            line = verb.word;
    }
    const std::string flag = request.interactive ? "1" : "0";
    switch (request.kind) {
    case GuardRequest::SyncState: return line;
    case GuardRequest::Date: return line + ' ' + dateText(request.date) + ' ' + flag;
    case GuardRequest::Adopt: return line + ' ' + dateText(request.date) + ' ' + (request.syncPaused ? "1" : "0");
    default: return line + ' ' + flag;
    }
}

bool parseRequest(const std::string& line, GuardRequest* request)
{
    std::string words[3];
    std::size_t count = 0;
    if (line.size() > kGuardLineMax || !splitWords(line, words, 3, &count))
        return false;
    GuardRequest parsed;
    bool known = false;
    for (const Verb& verb : kVerbs) {
        if (words[0] == verb.word) {
            parsed.kind = verb.kind;
            known = true;
        }
    }
    if (!known)
        return false;
    switch (parsed.kind) {
    case GuardRequest::SyncState:
        if (count != 1)
            return false;
        break;
    case GuardRequest::Date:
        if (count != 3 || !parseDate(words[1], &parsed.date) || !parseFlag(words[2], &parsed.interactive))
            return false;
        break;
    case GuardRequest::Adopt:
        if (count != 3 || (words[1] != "-" && !parseDate(words[1], &parsed.date))
            || !parseFlag(words[2], &parsed.syncPaused))
            return false;
        break;
    default:
        if (count != 2 || !parseFlag(words[1], &parsed.interactive))
            return false;
        break;
    }
    *request = parsed;
    return true;
}

std::string formatAnswer(const AppError& answer)
{
    std::string description = answer.description;
    for (char& c : description) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    const std::string head = std::to_string(answer.number) + ' ' + std::to_string(answer.cause) + ' ';
    return head + description.substr(0, kGuardLineMax - head.size());
}

namespace {

// An int as std::to_string writes it: no sign but "-", no leading zero, no blank.
bool parseNumber(const std::string& text, int* number)
{
    const std::size_t digits = text.size() - (!text.empty() && text[0] == '-');
    if (digits == 0 || digits > 10 || (text[text.size() - digits] == '0' && digits > 1) || text == "-0")
        return false;
    long long value = 0;
    for (std::size_t i = text.size() - digits; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    value = text[0] == '-' ? -value : value;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return false;
    *number = static_cast<int>(value);
    return true;
}

}  // namespace

bool parseAnswer(const std::string& line, AppError* answer)
{
    // Only what formatAnswer writes: the guard is the other side of a trust boundary.
    const std::string::size_type first = line.find(' ');
    const std::string::size_type second = first == std::string::npos ? first : line.find(' ', first + 1);
    if (line.size() > kGuardLineMax || second == std::string::npos || line.find_first_of("\r\n") != std::string::npos)
        return false;
    AppError parsed;
    if (!parseNumber(line.substr(0, first), &parsed.number)
        || !parseNumber(line.substr(first + 1, second - first - 1), &parsed.cause))
        return false;
    parsed.description = line.substr(second + 1);
    *answer = parsed;
    return true;
}
