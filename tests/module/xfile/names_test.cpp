// Entity names: cleaning, the characters the .x grammar cannot take, unique numbers.
#include "xfile/names.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "korvo/host/host.h"
#include "module/mesh/host_fixture.h"

namespace dorna {
namespace {

class Names : public HostTest {
protected:
    Names() { EXPECT_TRUE(reserveNameBuffers(names.emplace())); }

    // The name as the file takes it: 8-bit text, cleaned, back as UTF-8.
    std::string cleaned(const std::string& utf8) {
        HostString name;
        korvo::setUtf8(name.get(), utf8);
        std::string text(utf8.size() + 1, '\0');
        const int32_t length = name.toText(text.data(), static_cast<int32_t>(utf8.size()));
        std::string out(2 * static_cast<size_t>(length) + 1, '\0');
        out.resize(static_cast<size_t>(cleanNameText(text.data(), length, out.data(), 2 * length)));
        return korvo::toUtf8(HostString(out.c_str()).get());
    }

    // The naming of one file; reset to give its storage back.
    std::optional<FrameNames> names;
    int32_t counter = 0;

    static std::string text(NameText name) { return std::string(name.text, static_cast<size_t>(name.length)); }

    std::string nameOf(KrvObject object) {
        HostString name;
        host.root()->object->get_name(object, name.get());
        return korvo::toUtf8(name.get());
    }

    static korvo::SceneObject object(const std::string& name, korvo::ObjectType type = korvo::ObjectType::Null) {
        korvo::SceneObject o;
        o.name = name;
        o.id = name.empty() ? "unnamed" : name;
        o.type = type;
        return o;
    }
};

TEST_F(Names, UmlautsAreSpeltOutAndSeparatorsBecomeUnderscores) {
    EXPECT_EQ(cleaned("Würfel groß.1"), "Wuerfel_gross_1");
    EXPECT_EQ(cleaned("ÄÖÜäöüß"), "AeOeUeaeoeuess");
    EXPECT_EQ(cleaned("a/b\\c^d-e"), "a_b_c_d_e");
    EXPECT_EQ(cleaned("__x__"), "__x__");
    EXPECT_EQ(cleaned(""), "");
}

TEST_F(Names, CharactersOfTheFileGrammarAndControlCharactersBecomeUnderscores) {
    EXPECT_EQ(cleaned("Arm#2 {x};\"q\",<a>(b)[c]\t\r\n"), "Arm_2__x___q___a__b__c____");
    EXPECT_EQ(cleaned(std::string("a\x0B" "b\x0C" "c\x01\x1F\x7F" "d\0e", 11)), "a_b_c___d_e");
}

TEST_F(Names, OtherCharactersPassUnchanged) {
    // A character beyond Latin-1 is "?" in the 8-bit text, in the file as in the name.
    EXPECT_EQ(cleaned("é:Ω9_ok"), "é:?9_ok");
    EXPECT_EQ(cleaned("1st"), "1st");
}

TEST_F(Names, CleaningACleanedNameChangesNothing) {
    const std::string once = cleaned("Lower Arm.L #ä{ö}");
    EXPECT_EQ(cleaned(once), once);
    EXPECT_EQ(once, "Lower_Arm_L__ae_oe_");
}

TEST_F(Names, NumbersFollowTheOrderOfTheCallsAndSkipBones) {
    korvo::SceneObject first = object("Cube");
    first.id = "cube1";
    first.children.push_back(object("Sphere"));
    korvo::SceneObject second = object("Cube");
    second.id = "cube2";
    korvo::SceneObject bone = object("Upper Arm", korvo::ObjectType::Bone);
    load({first, second, bone}, "Cube");
    KrvObject cube1 = host.root()->document->first_object(document);
    KrvObject sphere = host.root()->object->first_child(cube1);
    KrvObject cube2 = host.root()->object->next(cube1);
    KrvObject upperArm = host.root()->object->next(cube2);

    appendUniqueNumber(*names, counter, cube1);
    appendUniqueNumber(*names, counter, sphere);
    appendUniqueNumber(*names, counter, upperArm);
    appendUniqueNumber(*names, counter, nullptr);
    appendUniqueNumber(*names, counter, cube2);

    EXPECT_EQ(nameOf(cube1), "Cube_0");
    EXPECT_EQ(nameOf(sphere), "Sphere_1");
    EXPECT_EQ(nameOf(cube2), "Cube_2");
    EXPECT_EQ(nameOf(upperArm), "Upper Arm");
    EXPECT_EQ(counter, 3);
    EXPECT_EQ(text(frameName(*names, upperArm)), "Upper_Arm");
    names.reset();
    expectNothingHeld();
}

TEST_F(Names, NumberIsAppendedToTheCleanedName) {
    KrvObject box = load(object("Box_3"));
    appendUniqueNumber(*names, counter, box);
    EXPECT_EQ(nameOf(box), "Box_3_0");

    KrvObject arm = load(object("Lower Arm.L"));
    counter = -1;
    appendUniqueNumber(*names, counter, arm);
    EXPECT_EQ(nameOf(arm), "Lower_Arm_L_-1");
    EXPECT_EQ(counter, 0);
}

TEST_F(Names, AnUnnamedObjectGetsAnUnderscoreAndItsNumber) {
    KrvObject unnamed = load({object("")}, "");
    counter = 7;
    appendUniqueNumber(*names, counter, unnamed);
    EXPECT_EQ(nameOf(unnamed), "_7");
}

TEST_F(Names, AnEmptyCleanedNameIsWrittenAsAnUnderscore) {
    KrvObject bone = load({object("", korvo::ObjectType::Bone)}, "");
    EXPECT_EQ(text(frameName(*names, bone)), "_");
    EXPECT_EQ(text(meshName(*names, bone)), "_");
}

// A reader takes a frame name for a number or a keyword only when the whole name is one.
TEST_F(Names, AFrameNameThatReadsAsANumberOrKeywordGetsALeadingUnderscore) {
    const struct {
        const char* name;
        const char* frame;
    } cases[] = {
        {"7", "_7"},         {"+12", "_+12"},   {"Float", "_Float"},     {"WORD", "_WORD"},
        {"template", "_template"}, {"Array", "_Array"}, {"binary_resource", "_binary_resource"},
        {"-3", "_3"},        {"12a", "12a"},        {"123_3", "123_3"},      {"1e5", "1e5"},
        {"Floats", "Floats"}, {"+", "+"},           {"1.2.3", "1_2_3"},      {"_7", "_7"},
    };
    for (const auto& c : cases) {
        KrvObject o = load(object(c.name));
        EXPECT_EQ(text(frameName(*names, o)), c.frame) << c.name;
        EXPECT_EQ(text(meshName(*names, o)), cleaned(c.name)) << c.name;
    }
    EXPECT_TRUE(readsAsNumberOrKeyword("-1.5", 4));
    EXPECT_FALSE(readsAsNumberOrKeyword("1..5", 4));
    EXPECT_FALSE(readsAsNumberOrKeyword("", 0));
}

// Cleaned names that collide ("a b", "a_b", two "a"): the later bone is numbered, in the
// depth-first order of the document, and every reference takes the same name.
TEST_F(Names, BonesWhoseNamesCollideAreNumberedFromTheSecond) {
    korvo::SceneObject parent = object("a b", korvo::ObjectType::Bone);
    parent.id = "b1";
    korvo::SceneObject child = object("a_b", korvo::ObjectType::Bone);
    child.id = "b2";
    parent.children.push_back(child);
    korvo::SceneObject third = object("a b", korvo::ObjectType::Bone);
    third.id = "b3";
    korvo::SceneObject taken = object("a_b_2", korvo::ObjectType::Bone);
    taken.id = "b4";
    korvo::SceneObject digits = object("7", korvo::ObjectType::Bone);
    digits.id = "b5";
    korvo::SceneObject underscored = object("_7", korvo::ObjectType::Bone);
    underscored.id = "b6";
    korvo::SceneObject plain = object("a b");
    load({parent, third, taken, digits, underscored, plain}, "b1");
    KrvObject first = host.root()->document->first_object(document);
    KrvObject second = host.root()->object->first_child(first);
    KrvObject b3 = host.root()->object->next(first);
    KrvObject b4 = host.root()->object->next(b3);
    KrvObject b5 = host.root()->object->next(b4);
    KrvObject b6 = host.root()->object->next(b5);
    KrvObject notABone = host.root()->object->next(b6);

    ASSERT_TRUE(beginFrameNames(*names, document, true, false));
    EXPECT_EQ(text(frameName(*names, first)), "a_b");
    EXPECT_EQ(text(frameName(*names, second)), "a_b_2");
    EXPECT_EQ(text(frameName(*names, b3)), "a_b_3");
    EXPECT_EQ(text(frameName(*names, b4)), "a_b_2_2");
    EXPECT_EQ(text(frameName(*names, b5)), "_7");
    EXPECT_EQ(text(frameName(*names, b6)), "_7_2");
    EXPECT_EQ(text(frameName(*names, notABone)), "a_b");
    endFrameNames(*names);
    EXPECT_EQ(text(frameName(*names, second)), "a_b");
    names.reset();
    expectNothingHeld();
}

// A name too long for one line of the file is cut, and a unique number survives the cut.
TEST_F(Names, ALongNameIsCutAndKeepsItsNumber) {
    KrvObject o = load(object(std::string(600000, 'x')));
    EXPECT_EQ(text(frameName(*names, o)), std::string(kMaxNameLength, 'x'));
    counter = 12;
    appendUniqueNumber(*names, counter, o);
    EXPECT_EQ(text(frameName(*names, o)), std::string(kMaxNameLength - kNumberRoom, 'x') + "_12");
}

}  // namespace
}  // namespace dorna
