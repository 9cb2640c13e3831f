// Entity names: cleaning, the characters the .x grammar cannot take, unique numbers.
#include "xfile/names.h"

#include <gtest/gtest.h>

#include <string>

#include "korvo/host.h"
#include "module/mesh/host_fixture.h"

namespace dorna {
namespace {

class Names : public HostTest {
protected:
    std::string cleaned(const std::string& utf8) {
        HostString name;
        korvo::setUtf8(name.get(), utf8);
        return korvo::toUtf8(sanitizeName(name).get());
    }

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

TEST_F(Names, CharactersOfTheFileGrammarBecomeUnderscores) {
    EXPECT_EQ(cleaned("Arm#2 {x};\"q\",<a>(b)[c]\t\r\n"), "Arm_2__x___q___a__b__c____");
}

TEST_F(Names, OtherCharactersPassUnchanged) {
    EXPECT_EQ(cleaned("é:Ω9_ok"), "é:Ω9_ok");
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

    appendUniqueNumber(cube1);
    appendUniqueNumber(sphere);
    appendUniqueNumber(upperArm);
    appendUniqueNumber(nullptr);
    appendUniqueNumber(cube2);

    EXPECT_EQ(nameOf(cube1), "Cube_0");
    EXPECT_EQ(nameOf(sphere), "Sphere_1");
    EXPECT_EQ(nameOf(cube2), "Cube_2");
    EXPECT_EQ(nameOf(upperArm), "Upper Arm");
    EXPECT_EQ(entityCounter, 3);
    EXPECT_EQ(korvo::toUtf8(objectIdentifier(upperArm).get()), "Upper_Arm");
    expectNothingHeld();
}

TEST_F(Names, NumberIsAppendedToTheCleanedName) {
    KrvObject box = load(object("Box_3"));
    appendUniqueNumber(box);
    EXPECT_EQ(nameOf(box), "Box_3_0");

    KrvObject arm = load(object("Lower Arm.L"));
    entityCounter = -1;
    appendUniqueNumber(arm);
    EXPECT_EQ(nameOf(arm), "Lower_Arm_L_-1");
    EXPECT_EQ(entityCounter, 0);
}

TEST_F(Names, AnUnnamedObjectGetsAnUnderscoreAndItsNumber) {
    KrvObject unnamed = load({object("")}, "");
    entityCounter = 7;
    appendUniqueNumber(unnamed);
    EXPECT_EQ(nameOf(unnamed), "_7");
}

TEST_F(Names, AnEmptyCleanedNameIsWrittenAsAnUnderscore) {
    KrvObject bone = load({object("", korvo::ObjectType::Bone)}, "");
    EXPECT_EQ(korvo::toUtf8(objectIdentifier(bone).get()), "_");
    EXPECT_EQ(korvo::toUtf8(identifierFor(HostString("")).get()), "_");
    EXPECT_EQ(korvo::toUtf8(identifierFor(HostString("Hip")).get()), "Hip");
}

}  // namespace
}  // namespace dorna
