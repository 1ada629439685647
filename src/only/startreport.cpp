#include "startreport.h"

#include <cstdlib>
#include <string>

namespace {

// Each field as its length, a colon and its bytes: any byte may be in it.
void put(std::string* out, const std::string& field)
{
    *out += std::to_string(field.size()) + ':' + field;
}

bool take(const std::string& bytes, std::size_t* at, std::string* field)
{
    const std::size_t colon = bytes.find(':', *at);
    if (colon == std::string::npos || colon == *at || colon - *at > 9)
        return false;
    char* end = nullptr;
    const unsigned long size = std::strtoul(bytes.c_str() + *at, &end, 10);
    if (end != bytes.c_str() + colon || size > bytes.size() - colon - 1)
        return false;
    *field = bytes.substr(colon + 1, size);
    *at = colon + 1 + size;
    return true;
}

}  // namespace

std::string encodeReport(const StartReport& report)
{
    std::string out;
    for (const std::string& field :
         {std::to_string(report.outcome), std::to_string(report.status), std::string(report.wroteOutput ? "1" : "0"),
          std::string(report.terminal ? "1" : "0"), report.reason, report.outputPlace, report.errorLines})
        put(&out, field);
    return out;
}

bool decodeReport(const std::string& bytes, StartReport* report)
{
    std::string fields[7];
    std::size_t at = 0;
    for (std::string& field : fields) {
        if (!take(bytes, &at, &field))
            return false;
    }
    const int outcome = std::atoi(fields[0].c_str());
    if (at != bytes.size() || outcome < StartReport::NotStarted || outcome > StartReport::Running)
        return false;
    report->outcome = static_cast<StartReport::Outcome>(outcome);
    report->status = std::atoi(fields[1].c_str());
    report->wroteOutput = fields[2] == "1";
    report->terminal = fields[3] == "1";
    report->reason = fields[4];
    report->outputPlace = fields[5];
    report->errorLines = fields[6];
    return true;
}
