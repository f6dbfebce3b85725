// The record's arithmetic and text where a fault would hide in a figure or a quoted field.
#include "module_record.h"

#include <gtest/gtest.h>

#include "module_statistics.h"
#include "text_fields.h"

namespace {

TEST(ModuleRecord, MedianTakesTheMeanOfTheMiddleTwoForAnEvenCount) {
  const std::pair<std::vector<uint32_t>, std::optional<double>> cases[] = {
      {{}, std::nullopt},      {{37}, 37}, {{61, 20}, 40.5}, {{3, 1, 2}, 2}, {{40, 10, 30, 20}, 25},
      {{5, 5, 9, 1, 5, 7}, 5},
  };
  for (const auto& [values, median] : cases) EXPECT_EQ(Median(values), median);
}

TEST(ModuleRecord, TextFieldsKeepEveryByteAndQuoteWhatCsvWouldSplit) {
  const std::pair<std::string, std::string> csv[] = {
      {"success", "success"},
      {"KV-TSLK-00,2.07", "\"KV-TSLK-00,2.07\""},
      {"a \"quoted\" word", "\"a \"\"quoted\"\" word\""},
      {"Module.     \n\nTarget Mobile Module ID = 12",
       "\"Module.     \n\nTarget Mobile Module ID = 12\""},
      {"blanks at the end  ", "\"blanks at the end  \""},
      // A lone CR ends a row for many readers: quoted like a line feed.
      {"QMM\r2.11", "\"QMM\r2.11\""},
      {"", ""},
  };
  for (const auto& [text, field] : csv) EXPECT_EQ(CsvField(text), field);
  // A radio frame's bytes, as a reply text: every byte kept, as valid UTF-8.
  EXPECT_EQ(Utf8FromBytes(std::string("\x7E\x00\x88\xFF", 4)),
            std::string("~\0\xC2\x88\xC3\xBF", 6));
}

TEST(ModuleRecord, CsvRowHasAFieldForEveryHeaderColumn) {
  ModuleRecord record;
  record.facts.moduleId = "12,34";
  record.facts.link.roundTripsMs = {20, 61};
  record.message = "x";
  const std::string header = RecordCsvHeader(), row = RecordCsvLine(record);
  EXPECT_EQ(std::count(header.begin(), header.end(), ','),
            std::count(row.begin(), row.end(), ',') - 1)
      << "one comma more, inside the quoted module ID";
  EXPECT_NE(row.find(",\"12,34\","), std::string::npos) << row;
  EXPECT_NE(row.find(",40.5,61,"), std::string::npos) << row;
  EXPECT_EQ(row.substr(row.size() - 13), ",x,0,false,\r\n");
}

}  // namespace
