// containers_core_test.cpp - what containers rely on in the platform-free object
// model, under the sanitizers: a container's children destroyed first to last,
// image lists still in use detached rather than destroyed, a child that cannot
// be destroyed taken out so the walk ends; children found by index or exact
// name; a kind's own layout step run when its layout is saved.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "objects/objops.h"
#include "objects/objrecord.h"
#include "session/util/strutil.h"

namespace {

std::vector<std::string> gDestroyed;

int32_t NamedDestroy(ObjectRecord* rec) {
    gDestroyed.push_back(rec->name ? rec->name : "?");
    ObjectFreeCommon(rec);
    ObjectFreeRecord(rec);
    return 0;
}

const ObjectOps kNamedOps = {
    .destroy = NamedDestroy,
};

ObjectRecord* Child(ObjectRecord* parent, uint8_t kind, const char* name, uint16_t tabId) {
    ObjectRecord* c = ObjectAllocRecord(kind, sizeof(ObjectRecord) + 16, false);
    c->parent = parent;
    c->tabId = tabId;
    ReplaceStrField(name, -1, &c->name);
    LinkObject(c);
    return c;
}

class ContainersCore : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterObjectOps(kKindShape, &kNamedOps);
        RegisterObjectOps(kKindProgress, &kNamedOps);
        RegisterObjectOps(kKindImageList, &kNamedOps);
        gDestroyed.clear();
        panel_ = ObjectAllocRecord(kKindPanel, sizeof(ObjectRecord), false);
    }
    void TearDown() override {
        RegisterObjectOps(kKindShape, nullptr);
        RegisterObjectOps(kKindProgress, nullptr);
        RegisterObjectOps(kKindImageList, nullptr);
        ObjectFreeRecord(panel_);
    }
    ObjectRecord* panel_ = nullptr;
};

TEST_F(ContainersCore, ChildrenGoFirstToLastAndImageListsInUseStay) {
    Child(panel_, kKindShape, "a", 1);
    ObjectRecord* list = Child(panel_, kKindImageList, "list", 2);
    list->useCount = 1;
    Child(panel_, kKindProgress, "b", 3);
    ObjectRecord* unused = Child(panel_, kKindImageList, "unused", 4);
    unused->useCount = 0;
    ObjectDestroyChildren(panel_);
    EXPECT_EQ((std::vector<std::string>{"a", "b", "unused"}), gDestroyed)
        << "first to last; an unused image list goes with the container";
    EXPECT_EQ(nullptr, panel_->children);
    EXPECT_TRUE(ObjectIsLive(list)) << "a list still in use outlives its container";
    EXPECT_EQ(nullptr, list->parent);
    NamedDestroy(list);
}

TEST_F(ContainersCore, AChildThatCannotGoIsTakenOutSoTheWalkEnds) {
    ObjectRecord* stuck = Child(panel_, kKindTimer, "no destroy slot", 1);
    ObjectRecord* dead = Child(panel_, kKindShape, "dead", 2);
    ObjectUnregister(dead);   // a record already dropped from the registry
    Child(panel_, kKindShape, "c", 3);
    ObjectDestroyChildren(panel_);
    EXPECT_EQ(nullptr, panel_->children);
    EXPECT_EQ((std::vector<std::string>{"c"}), gDestroyed);
    ObjectFreeCommon(stuck);
    ObjectFreeRecord(stuck);
    ObjectFreeCommon(dead);
    ObjectFreeRecord(dead);
}

TEST_F(ContainersCore, ChildrenByIndexOrExactName) {
    ObjectRecord* a = Child(panel_, kKindShape, "Alpha", 1);
    ObjectRecord* b = Child(panel_, kKindShape, "Beta", 2);
    struct Case { uint32_t index; const char* name; ObjectRecord* expect; const char* why; };
    const Case cases[] = {
        {0, nullptr, a, "index 0 is the first child"},
        {1, nullptr, b, "index 1 the second"},
        {2, nullptr, nullptr, "no third"},
        {0, "Beta", b, "by name"},
        {0, "beta", nullptr, "names match exactly"},
        {0, "Gamma", nullptr, "no such name"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expect, ObjectFindChildByKey(panel_, c.index, c.name)) << c.why;
    EXPECT_EQ(nullptr, ObjectFindChildByKey(nullptr, 0, nullptr));
    ObjectDestroyChildren(panel_);
}

int gSaved;
void CountSave(ObjectRecord*) { ++gSaved; }

TEST_F(ContainersCore, SavingALayoutRunsTheKindsOwnStep) {
    RegisterKindSaveLayout(kKindLine, CountSave);
    ObjectRecord* line = ObjectAllocRecord(kKindLine, sizeof(ObjectRecord), false);
    ObjectRecord* shape = ObjectAllocRecord(kKindShape, sizeof(ObjectRecord), false);
    gSaved = 0;
    ObjectSaveLayout(line, 0);
    ObjectSaveLayout(shape, 0);
    EXPECT_EQ(1, gSaved) << "only the kind that registered a step";
    RegisterKindSaveLayout(kKindLine, nullptr);
    ObjectFreeRecord(line);
    ObjectFreeRecord(shape);
}

}  // namespace
