// What kanvo-grade found, as the report files hold it: the class page, results.csv,
// results.json and junit.xml are all written from these records, by a grading run and
// by `kanvo-grade merge` (which reads them back from the shards' results.json).
#pragma once

#include <string>
#include <vector>

namespace grade {

struct FirstDifference {
    std::string kind;      // changed, missing, extra, order, moved
    std::string expected;  // the model's description line ("" when it has none there)
    std::string actual;    // the learner's
    std::string file;      // where the learner's call came from ("" when unknown)
    int line = 0;
    unsigned long long frame = 0;  // the waits started before the call
    std::string message;   // one sentence for the teacher
};

struct CaseResult {
    std::string name;
    std::string status;  // pass, fail, crash, timeout, no_wait
    double score = 0;
    unsigned long long checkpoints = 0, checkpoints_passed = 0;
    long long differing_pixels = 0;
    bool has_difference = false;
    FirstDifference first_difference;
    std::string message;  // what went wrong, in a sentence ("" on a pass)
};

struct SubmissionResult {
    std::string name;
    std::string status;  // pass, fail, compile_error, crash, timeout, no_wait
    double score = 0;
    std::string page;       // relative to the report folder
    std::string thumbnail;  // relative to the report folder, "" for none
    std::vector<std::string> clock_reads;
    std::vector<CaseResult> cases;
    int cases_passed() const;
};

struct Results {
    std::string model;
    std::vector<std::string> cases;
    long long tolerance = 0;
    bool pictures_only = false;
    std::vector<SubmissionResult> submissions;
};

// Writes index.html, results.csv, results.json and junit.xml into directory; false with
// a reason when a file cannot be written.
bool write_class_report(const Results &results, const std::string &directory, std::string *error);

// Reads a results.json written by write_class_report; false with a reason.
bool read_results(const std::string &path, Results *results, std::string *error);

std::string html_escaped(const std::string &text);

// The page's shared look.
extern const char kStyle[];

}  // namespace grade
