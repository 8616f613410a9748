// How many threads a run starts, from tests/data/units/batch_workers.txt.
#include "app/batch_run.h"

#include <gtest/gtest.h>

#include <sstream>

#include "codec/codec_tables.h"

namespace tessarel {
namespace {

TEST(BatchRun, WorkersFollowTheCoresWithinTheirBounds) {
  for (const std::string& line : testing::TableLines("units/batch_workers.txt")) {
    std::istringstream in(line);
    unsigned cores = 0;
    std::size_t files = 0, workers = 0;
    in >> cores >> files >> workers;
    EXPECT_EQ(BatchWorkers(cores, files), workers) << line;
  }
}

}  // namespace
}  // namespace tessarel
