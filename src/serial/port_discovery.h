#pragma once
#include <array>

#include "serial/serial_port_list.h"

// Which of COM1 to COM21 the system lists, and the port an update starts with. The main dialog
// shows the result as its port buttons; the console lists it and picks its default port.
constexpr int kComPortCount = 21;

struct ComPorts {
  // False when the system's list cannot be read at all.
  bool listed = false;
  // Entry n-1 is true when COMn is listed.
  std::array<bool, kComPortCount> exists{};

  bool Exists(int port) const { return port >= 1 && port <= kComPortCount && exists[port - 1]; }
};

ComPorts FindComPorts(SerialPortList& list);

// The saved port when it is listed, else the lowest port listed, else 0.
int ChooseComPort(const ComPorts& ports, int saved);
