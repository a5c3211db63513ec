// orvclockd: the clock server the Kronwel clock synchronises from.
#include <iostream>

#include "server/cli.h"

int main(int argc, char** argv) {
  const kw::SystemClock clock;
  return kw::server::RunCli({argv + 1, argv + argc}, std::cout, std::cerr, clock);
}
