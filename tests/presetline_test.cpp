// Taking the date part out of a preset line.

#include <gtest/gtest.h>

#include "presetline.h"

namespace {

TEST(PresetLine, FieldOneIsTheTextBetweenTheFirstSignAndTheNext)
{
    EXPECT_EQ(Get_After_isGelijkAan(1, "Testpreset = 12/12/2001"), " 12/12/2001");
    EXPECT_EQ(Get_After_isGelijkAan(1, "a = b = 12/12/2001"), " b ");
    EXPECT_EQ(Get_After_isGelijkAan(1, "no sign here"), "no sign here");
    EXPECT_EQ(Get_After_isGelijkAan(1, "=x"), "x");
}

TEST(PresetLine, MissingFieldsAreNotFound)
{
    EXPECT_EQ(Get_After_isGelijkAan(1, ""), "NOT FOUND");
    EXPECT_EQ(Get_After_isGelijkAan(1, "Birthday ="), "NOT FOUND");
    EXPECT_EQ(Get_After_isGelijkAan(2, "a = b"), "NOT FOUND");
    EXPECT_EQ(Get_After_isGelijkAan(3, "a = b = c"), "NOT FOUND");
    EXPECT_EQ(Get_After_isGelijkAan(4, "a=b"), "NOT FOUND");  // a failed search starts over at the first sign
}

TEST(PresetLine, LaterFieldsCountSigns)
{
    EXPECT_EQ(Get_After_isGelijkAan(2, "a = b = c"), " c");
    EXPECT_EQ(Get_After_isGelijkAan(2, "a=b=c=d"), "c");
    EXPECT_EQ(Get_After_isGelijkAan(-3, "a = b"), " b");  // no repetitions below field 2
}

TEST(PresetLine, FieldZeroIsTheTextBeforeTheFirstSign)
{
    AppError error;
    EXPECT_EQ(Get_After_isGelijkAan(0, "Testpreset = 12/12/2001", &error), "Testpreset ");
    EXPECT_FALSE(error);
    EXPECT_EQ(Get_After_isGelijkAan(0, "no sign", &error), "");
    EXPECT_EQ(error.number, kErrInvalidCall);
}

TEST(PresetLine, OverlongTextsAreNotFoundAndDoNotCrash)
{
    const QString longest = QString(32766 - 2, 'x') + "=y";
    EXPECT_EQ(Get_After_isGelijkAan(1, longest), "y");
    EXPECT_EQ(Get_After_isGelijkAan(1, QString(32767 - 2, 'x') + "=y"), "NOT FOUND");
    EXPECT_EQ(Get_After_isGelijkAan(32767, QString(1000, '=')), "NOT FOUND");
}

}  // namespace
