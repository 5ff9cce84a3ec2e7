#include "imaging/image_geometry.h"

#include "imaging/cc_image.h"

#include "imaging_fixtures.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <future>
#include <random>

namespace {

using namespace tj::test;

QRectF fitted(QSizeF content, QRectF box)
{
    QRectF rect(QPointF(17, 23), content); // the content's position plays no part
    CenterRectangle(rect, box);
    return rect;
}

TEST(CenterRectangle, CentresAndFloorsInSinglePrecision)
{
    EXPECT_EQ(fitted({300, 100}, {10, 20, 200, 200}), QRectF(10, 86, 200, 66));
    EXPECT_EQ(fitted({1000, 4000}, {0, 0, 200, 200}), QRectF(75, 0, 50, 200));
    EXPECT_EQ(fitted({150, 100}, {0, 0, 200, 200}), QRectF(25, 50, 150, 100));
    // 45.999999999 is 46 as a float; a double floor would give 45.
    EXPECT_EQ(fitted({10, 10}, {0, 0.999999999, 100, 100}).y(), 46);
    EXPECT_EQ(fitted({10, 10}, {0, 0.99, 100, 100}).y(), 45);
}

TEST(CenterRectangle, NeverEnlargesAndStaysInsideTheBox)
{
    std::mt19937 random(1);
    std::uniform_real_distribution<double> side(1, 5000);
    std::uniform_real_distribution<double> offset(-300, 300);
    for (int i = 0; i < 2000; ++i) {
        const QSizeF content(side(random), side(random));
        const QRectF box(std::round(offset(random)), std::round(offset(random)), std::round(side(random)),
                         std::round(side(random)));
        const QRectF rect = fitted(content, box);
        ASSERT_TRUE(rect.width() <= content.width() && rect.height() <= content.height());
        ASSERT_TRUE(rect.left() >= box.left() && rect.top() >= box.top() && rect.right() <= box.right() + 1e-9
                    && rect.bottom() <= box.bottom() + 1e-9);
        // Centred within a pixel, and touching the box on one side pair when it had to shrink.
        ASSERT_LE(std::abs((rect.left() - box.left()) - (box.right() - rect.right())), 2.0);
        ASSERT_LE(std::abs((rect.top() - box.top()) - (box.bottom() - rect.bottom())), 2.0);
        if (content.width() > box.width() || content.height() > box.height()) {
            ASSERT_TRUE(rect.width() >= box.width() - 1 || rect.height() >= box.height() - 1);
            // Proportions kept to within the flooring.
            ASSERT_NEAR(rect.width() / content.width() * content.height(), rect.height(),
                        1.0 + content.height() / content.width());
        }
    }
}

TEST(ImageFocus, DrawingLandsInTheImageOrItsCopyOnUnlockAndLocksNest)
{
    EXPECT_FALSE(LockImageFocus(nullptr));
    EXPECT_FALSE(ImageFocus(nullptr));
    EXPECT_FALSE(LockImageFocusCopy(nullptr));
    QImage background(40, 30, QImage::Format_RGB32);
    background.fill(Qt::blue);
    const auto image = CCImage::initWithCGImage(background);
    ASSERT_EQ(CurrentQuartzContext(), nullptr);
    auto copy = LockImageFocusCopy(image.get());
    ASSERT_TRUE(copy);
    CurrentQuartzContext()->fillRect(QRect(0, 0, 10, 10), Qt::green);
    UnlockImageFocus(copy.get());
    EXPECT_EQ(copy->qimage().pixel(5, 5), qRgb(0, 255, 0));
    EXPECT_EQ(copy->qimage().pixel(30, 20), qRgb(0, 0, 255));

    const auto inner = CCImage::initWithSize({10.7, 10.2});
    ASSERT_TRUE(LockImageFocus(image.get()));
    QPainter *outerPainter = CurrentQuartzContext();
    ASSERT_NE(outerPainter, nullptr);
    outerPainter->fillRect(QRect(0, 0, 10, 10), Qt::red);
    {
        ImageFocus focus(inner.get());
        ASSERT_TRUE(focus);
        EXPECT_EQ(&focus.painter(), CurrentQuartzContext());
        EXPECT_NE(CurrentQuartzContext(), outerPainter);
        focus.painter().fillRect(QRect(0, 0, 5, 5), Qt::green);
        UnlockImageFocus(image.get()); // not the innermost lock: ignored
        EXPECT_EQ(&focus.painter(), CurrentQuartzContext());
    }
    EXPECT_EQ(CurrentQuartzContext(), outerPainter);
    // An image that had only a size gets a clear bitmap of that size, truncated.
    EXPECT_EQ(inner->qimage().size(), QSize(10, 10));
    EXPECT_EQ(inner->qimage().pixel(2, 2), qRgb(0, 255, 0));
    EXPECT_EQ(qAlpha(inner->qimage().pixel(7, 7)), 0);
    // Each thread has its own focus.
    EXPECT_TRUE(std::async(std::launch::async, [] { return CurrentQuartzContext() == nullptr; }).get());
    // Nothing reaches the image until it is unlocked.
    EXPECT_EQ(image->qimage().pixel(5, 5), qRgb(0, 0, 255));
    UnlockImageFocus(image.get());
    EXPECT_EQ(CurrentQuartzContext(), nullptr);
    EXPECT_EQ(image->qimage().pixel(5, 5), qRgb(255, 0, 0));
    EXPECT_EQ(image->qimage().pixel(30, 20), qRgb(0, 0, 255));
    UnlockImageFocus(image.get()); // a second unlock does nothing
    EXPECT_EQ(image->qimage().pixel(5, 5), qRgb(255, 0, 0));
}

}
