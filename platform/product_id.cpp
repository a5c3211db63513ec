#include "platform/product_id.h"

#include <filesystem>
#include <fstream>

#include "common/sha256.h"

namespace kw {

std::string ProductIdFromMachineId(const std::string& machineId) {
  // Salted with the program's name so the id means nothing to anyone else.
  const auto digest = Sha256("Kronwel product id\n" + machineId);
  std::string digits;
  for (size_t i = 0; digits.size() < 20; ++i) digits += static_cast<char>('0' + digest[i % digest.size()] % 10);
  return digits.substr(0, 5) + "-" + digits.substr(5, 3) + "-" + digits.substr(8, 7) + "-" +
         digits.substr(15, 5);
}

ProductIdStatus ReadProductId(std::string& id, const std::string& machineIdPath) {
  id.clear();
  std::error_code ec;
  if (!std::filesystem::exists(machineIdPath, ec)) return ProductIdStatus::NotAvailable;
  std::ifstream in(machineIdPath, std::ios::binary);
  if (!in) return ProductIdStatus::ReadError;
  std::string machineId;
  std::getline(in, machineId);
  while (!machineId.empty() && (machineId.back() == '\r' || machineId.back() == ' ')) machineId.pop_back();
  if (in.bad() || machineId.empty()) return ProductIdStatus::ReadError;
  id = ProductIdFromMachineId(machineId);
  return ProductIdStatus::Ok;
}

}  // namespace kw
