#include "label_matrix.h"

#include <gtest/gtest.h>

namespace segmora {
namespace {

TEST(LabelMatrix, TakesTheSpentBlockAndOutlivesItsPool) {
    cv::Mat_<int> kept, copy;
    {
        BlockPool pool;
        LargeBuffer edges(pool, 40 << 20);
        void* warm = edges.as<void>();
        cv::Mat_<int> labels = labelMatrixIn(edges, 1500, 2000);  // 12 MB
        EXPECT_EQ(static_cast<void*>(labels.data), warm);
        EXPECT_EQ(edges.as<void>(), nullptr);
        EXPECT_EQ(pool.keptBytes(), 0u);  // the rest was unmapped, not kept
        labels.setTo(cv::Scalar(3));
        kept = labels;
        copy = labels.clone();
    }
    EXPECT_EQ(cv::countNonZero(kept != copy), 0);  // readable after the pool is gone
    kept.create(3, 4);  // another size: the default allocator, the block given back
    kept.setTo(cv::Scalar(1));
    EXPECT_EQ(kept(2, 3), 1);
}

TEST(LabelMatrix, FreshMemoryWhenTheSpentBlockIsTooSmallOrEmpty) {
    BlockPool pool;
    LargeBuffer tiny(pool, 16);
    cv::Mat_<int> small = labelMatrixIn(tiny, 3, 5);
    EXPECT_NE(tiny.as<void>(), nullptr);  // untouched
    small.setTo(cv::Scalar(9));
    EXPECT_EQ(small(2, 4), 9);
    EXPECT_TRUE(small.isContinuous());
    LargeBuffer none;
    cv::Mat_<int> big = labelMatrixIn(none, 2000, 1000);
    big.setTo(cv::Scalar(4));
    EXPECT_EQ(big(1999, 999), 4);
    const cv::Mat_<int> empty = labelMatrixIn(none, 0, 7);
    EXPECT_EQ(empty.rows, 0);
    EXPECT_EQ(empty.cols, 7);
}

}  // namespace
}  // namespace segmora
