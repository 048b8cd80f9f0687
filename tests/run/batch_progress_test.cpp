#include "run/batch_progress.h"

#include <gtest/gtest.h>

namespace zalor {
namespace {

// Two counties, the second three times the size of the first: the batch
// moves by their sizes and by the phases within each, and never back.
TEST(BatchProgress, CountiesBySizePhasesByShare)
{
    BatchProgress b;
    b.Start({{"/a/TGR01001.ZIP", 100}, {"/a/TGR01003.ZIP", 300}});
    EXPECT_EQ(b.Percent(), 0);
    b.CountyBegun(1, 2);
    b.Phase("reading");
    b.Progress(100);
    EXPECT_EQ(b.Percent(), 8); // 0.35 of a quarter
    b.Progress(10);            // the next record file of the phase
    EXPECT_EQ(b.Percent(), 8);
    b.Phase("areas");
    b.Progress(100);
    EXPECT_EQ(b.Percent(), 25);
    b.CountyBegun(2, 2);
    b.Phase("lines");
    b.Progress(50);
    EXPECT_EQ(b.Percent(), 25 + 37); // (0.35 + 0.15) of three quarters
    b.Phase("zipping");                // not counted: the county stays where it was
    EXPECT_EQ(b.Percent(), 62);
    b.Finish();
    EXPECT_EQ(b.Percent(), 100);
}

TEST(BatchProgress, MissingInputsAndOtherBatches)
{
    BatchProgress b;
    // A missing input weighs as much as the average of the others.
    b.Start({{"/a/TGR01001.ZIP", -1}, {"/a/TGR01003.ZIP", 200}});
    b.CountyBegun(2, 2);
    EXPECT_EQ(b.Percent(), 50);
    // No sizes known, and a batch of another length: counties alike.
    b.Start({{"/a/x", -1}});
    b.CountyBegun(3, 4);
    EXPECT_EQ(b.Percent(), 50);
    b.Phase("unknown");
    b.Progress(250);
    EXPECT_EQ(b.Percent(), 50);
}

} // namespace
} // namespace zalor
