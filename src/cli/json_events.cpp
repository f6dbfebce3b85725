#include "json_events.h"

#include <nlohmann/json.hpp>
#include <type_traits>

#include "module_record.h"
#include "text_fields.h"

namespace {
using Json = nlohmann::ordered_json;
namespace ev = update_events;

// The fields of each event, by its type.
void AddFields(Json&, const ev::UpdateStarted&) {}
void AddFields(Json& json, const ev::FirmwareChecked& e) {
  json["passed"] = e.passed;
}
void AddFields(Json& json, const ev::PageImageBuilt& e) {
  json["pages"] = e.pages;
  json["bytes"] = e.bytes;
}
void AddFields(Json& json, const ev::BaudRateTried& e) {
  json["port"] = e.port;
  json["baud"] = e.baud;
  json["opened"] = e.opened;
  json["answered"] = e.answered;
  json["reply"] = Utf8FromBytes(e.reply);
}
void AddFields(Json& json, const ev::BootLoaderPolled& e) {
  json["poll"] = e.poll;
  json["answered"] = e.answered;
}
void AddFields(Json&, const ev::ParameterDialogOpened&) {}
void AddFields(Json& json, const ev::ParameterReceived& e) {
  json["parameter"] = ev::ParameterName(e.parameter);
  json["text"] = Utf8FromBytes(e.text);
}
void AddFields(Json& json, const ev::ParameterDialogClosed& e) {
  json["started"] = e.started;
}
void AddFields(Json& json, const ev::RadioExchange& e) {
  json["row"] = e.row;
  json["name"] = e.name;
  json["command"] = Utf8FromBytes(e.command);
  json["accepted"] = e.accepted;
  json["reply"] = Utf8FromBytes(e.reply);
}
void AddFields(Json& json, const ev::BootLoaderIdentified& e) {
  json["accepted"] = e.accepted;
  json["timed_out"] = e.timedOut;
  json["text"] = Utf8FromBytes(e.text);
}
void AddFields(Json& json, const ev::BootLoaderReady& e) {
  json["reply"] = ev::ReplyName(e.reply);
  json["byte"] = e.byte;
  json["accepted"] = e.accepted;
}
void AddFields(Json& json, const ev::PageFrameSent& e) {
  json["page"] = e.page;
  json["pages"] = e.pages;
  json["send"] = e.send;
  json["discarded"] = e.discarded;
}
void AddFields(Json& json, const ev::PageReplied& e) {
  json["page"] = e.page;
  json["send"] = e.send;
  json["reply"] = ev::ReplyName(e.reply);
  json["byte"] = e.byte;
  json["round_trip_ms"] = e.roundTripMs;
}
void AddFields(Json& json, const ev::EndMarkSent& e) {
  json["written"] = e.written;
}
void AddFields(Json&, const ev::BaseStationRestored&) {}
void AddFields(Json& json, const ev::UpdateFinished& e) {
  json["outcome"] = OutcomeName(e.outcome);
  json["message"] = Utf8FromBytes(e.message);
}
}  // namespace

Json EventFields(const UpdateEvent& event) {
  Json json = Json::object();
  std::visit(
      [&json](const auto& e) {
        json["tick"] = e.tick;
        AddFields(json, e);
      },
      event);
  return json;
}

void JsonEventStream::OnUpdateEvent(const UpdateEvent& event) {
  Write(EventType(event), EventFields(event));
}

void JsonEventStream::Write(const char* type, const Json& fields) {
  Json line;
  line["schema"] = kRecordSchema;
  line["type"] = type;
  line["time"] = IsoUtcTime(std::chrono::system_clock::now());
  line["attempt"] = attempt_;
  if (!station_.empty())
    line["station"] = station_;
  line.update(fields);
  const std::string text = DumpJson(line) + "\n";
  if (lock_ != nullptr) {
    std::lock_guard<Mutex> guard(*lock_);
    out_ << text << std::flush;
    return;
  }
  out_ << text << std::flush;
}
