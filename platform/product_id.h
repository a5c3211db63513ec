// The installation's product id: the stand-in for the id Windows keeps for every
// installation. It is derived from /etc/machine-id by a hash, so the raw machine id never
// leaves the machine, and has the shape of a Windows product id (5-3-7-5 digits).
#pragma once

#include <string>

namespace kw {

enum class ProductIdStatus {
  Ok,
  NotAvailable,  // the machine has no id
  ReadError,     // the id is there but could not be read
};

ProductIdStatus ReadProductId(std::string& id, const std::string& machineIdPath = "/etc/machine-id");

// The product id of a machine id, e.g. "12345-678-9012345-67890".
std::string ProductIdFromMachineId(const std::string& machineId);

}  // namespace kw
