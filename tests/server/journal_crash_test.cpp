// The results journal under a crash at every step of a change: the file seam
// fails or stops after the temporary file is opened, after it is written (a
// torn write), at the flush and at the rename. Whatever step fails, the record
// reads back to its old state or its new one, and never says sent without the
// server's OK having been journaled whole.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "../support/record_files_in.h"
#include "race/race_record_names.h"
#include "server/record_results_journal.h"

namespace volantis {
namespace {

constexpr int64_t kNow = 1796919600;

enum class Fault { kNone, kOpen, kTornWrite, kFlush, kRename };

// The system's files, with one fault armed for the next change of a results file.
class FaultyFiles : public testing::RecordFilesIn {
 public:
  using RecordFilesIn::RecordFilesIn;
  Fault armed = Fault::kNone;

  UniqueFile Open(const std::string& path, const char* mode) override {
    if (armed == Fault::kOpen && std::string(mode) == "wb") {
      armed = Fault::kNone;
      return UniqueFile();
    }
    return RecordFilesIn::Open(path, mode);
  }
  bool Flush(std::FILE* file) override {
    if (armed == Fault::kTornWrite) {
      // The process stops with half of the new text in the temporary file.
      armed = Fault::kNone;
      std::fflush(file);
      const long size = std::ftell(file);
      std::fseek(file, size / 2, SEEK_SET);
      std::fputs("status=se", file);
      std::fflush(file);
      return false;
    }
    if (armed == Fault::kFlush) {
      armed = Fault::kNone;
      return false;
    }
    return RecordFilesIn::Flush(file);
  }
  bool Replace(const std::string& from, const std::string& to) override {
    if (armed == Fault::kRename) {
      armed = Fault::kNone;
      return false;
    }
    return RecordFilesIn::Replace(from, to);
  }
};

std::string FieldsText(const SubmissionFields& fields) {
  std::string text;
  for (const SubmissionField& field : fields) text += field.key + "=" + field.value + "\n";
  return text;
}

SubmissionFields SomeFields() {
  SubmissionFields fields;
  for (const std::string& key : SubmissionKeys()) fields.push_back(SubmissionField{key, "v-" + key});
  return fields;
}

struct Step {
  const char* name;
  bool (*apply)(RecordResultsJournal& journal, const std::string& record);
  SubmissionStatus before;
  SubmissionStatus after;
};

const Step kSteps[] = {
    {"attempt noted",
     [](RecordResultsJournal& journal, const std::string& record) {
       return journal.NoteAttempt(record, 1, "error 503");
     },
     SubmissionStatus::kPending, SubmissionStatus::kPending},
    {"server's OK",
     [](RecordResultsJournal& journal, const std::string& record) { return journal.NoteSent(record, 2, "sent"); },
     SubmissionStatus::kPending, SubmissionStatus::kSent},
    {"unsent",
     [](RecordResultsJournal& journal, const std::string& record) {
       return journal.SetStatus(record, SubmissionStatus::kUnsent);
     },
     SubmissionStatus::kPending, SubmissionStatus::kUnsent},
};

TEST(JournalCrashPoints, EveryFailedStepLeavesTheOldStateAndEverySuccessTheNew) {
  for (const Step& step : kSteps) {
    for (Fault fault : {Fault::kNone, Fault::kOpen, Fault::kTornWrite, Fault::kFlush, Fault::kRename}) {
      SCOPED_TRACE(std::string(step.name) + ", fault " + std::to_string(static_cast<int>(fault)));
      testing::TempFolder data;
      FaultyFiles files{testing::RecordFilesIn::Races(data.path())};
      RecordResultsJournal journal{files, [] { return kNow; }};
      const std::string record = RaceRecordName(kNow - 600);
      ASSERT_NE(files.CreateFolder(files.Join(files.RacesFolder(), record)), FolderCreation::kFailed);
      ASSERT_TRUE(journal.Begin(record, SomeFields(), "tarvex.test", 8080));

      files.armed = fault;
      const bool applied = step.apply(journal, record);
      EXPECT_EQ(applied, fault == Fault::kNone);

      StoredSubmission stored;
      ASSERT_TRUE(journal.Read(record, stored)) << "the record must always parse";
      EXPECT_EQ(stored.status, applied ? step.after : step.before);
      EXPECT_EQ(FieldsText(stored.fields), FieldsText(SomeFields()));
      // The journal goes on after a failed change: the next one lands whole.
      ASSERT_TRUE(step.apply(journal, record));
      ASSERT_TRUE(journal.Read(record, stored));
      EXPECT_EQ(stored.status, step.after);
    }
  }
}

TEST(JournalCrashPoints, AFailedFirstWriteLeavesNoResultsFileToMisread) {
  for (Fault fault : {Fault::kOpen, Fault::kTornWrite, Fault::kFlush, Fault::kRename}) {
    SCOPED_TRACE(static_cast<int>(fault));
    testing::TempFolder data;
    FaultyFiles files{testing::RecordFilesIn::Races(data.path())};
    RecordResultsJournal journal{files, [] { return kNow; }};
    const std::string record = RaceRecordName(kNow - 600);
    ASSERT_NE(files.CreateFolder(files.Join(files.RacesFolder(), record)), FolderCreation::kFailed);
    files.armed = fault;
    EXPECT_FALSE(journal.Begin(record, SomeFields(), "tarvex.test", 8080));
    StoredSubmission stored;
    EXPECT_FALSE(journal.Read(record, stored));
    // The temporary file of the failed change is not left behind.
    EXPECT_TRUE(testing::ReadWholeFile(files.Join(files.Join(files.RacesFolder(), record), "results.txt.new")).empty());
  }
}

}  // namespace
}  // namespace volantis
