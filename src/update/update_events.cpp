#include "update/update_events.h"

namespace update_events {

const char* ReplyName(Reply reply) {
  switch (reply) {
    case Reply::kByte:
      return "byte";
    case Reply::kTimeout:
      return "timeout";
    case Reply::kFailedRead:
      return "failed_read";
  }
  return "unknown";
}

const char* ParameterName(Parameter parameter) {
  switch (parameter) {
    case Parameter::kModuleId:
      return "module_id";
    case Parameter::kNetworkSerial:
      return "network_serial";
    case Parameter::kPanId:
      return "pan_id";
    case Parameter::kRfChannel:
      return "rf_channel";
  }
  return "unknown";
}

}  // namespace update_events
