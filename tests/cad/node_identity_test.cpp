// Highlighting, redraw and the two-way lookup of persistent ids.
#include <gtest/gtest.h>

#include "addin/cad/cad_tree_builder.h"
#include "addin/cad/highlighting.h"
#include "addin/cad/node_identity.h"
#include "hosts/memory/memory_model.h"

using namespace velmora;
using memory::MemoryModel;

namespace {

// A part: root 0, bodies 1 and 2, point 3.
struct PartFixture {
    MemoryModel model;
    std::shared_ptr<memory::MemoryDocument> doc = model.open_part();
    std::shared_ptr<memory::MemoryBody> b1 = model.add_body(*doc->content, u"B1");
    std::shared_ptr<memory::MemoryBody> b2 = model.add_body(*doc->content, u"B2");
    std::shared_ptr<memory::MemoryFeature> p = model.add_feature(*doc->content, u"RefPoint", u"P");
    cad::CAD_ObjectRegistry registry{doc, model.application};
    PartFixture()
    {
        CAD_RPC::Tree tree;
        cad::build_cad_tree(registry, tree);
        model.log->clear();
    }
};

}  // namespace

TEST(Highlight, EachKindIsSelectedWithItsArguments)
{
    MemoryModel model;
    auto doc = model.open_assembly(u"R");
    auto c = model.add_component(*doc->configuration->root, u"C");
    auto body = model.add_body(*c, u"B");
    auto curve = model.add_feature(*c, u"RefCurve", u"K");
    cad::CAD_ObjectRegistry registry(doc, model.application);
    CAD_RPC::Tree tree;
    cad::build_cad_tree(registry, tree);  // R 0, C 1, B 2, K 3

    cad::set_highlight_status_of_ids(registry, {1, 2, 3}, true);
    EXPECT_TRUE(c->selected);
    EXPECT_TRUE(c->last_append);
    EXPECT_FALSE(c->last_by_user);
    ASSERT_TRUE(c->last_options);
    EXPECT_EQ(std::dynamic_pointer_cast<memory::MemorySelectionOptions>(c->last_options)->mark, 1);
    EXPECT_TRUE(body->selected);
    EXPECT_EQ(body->last_options, c->last_options);
    EXPECT_TRUE(curve->selected);
    EXPECT_EQ(curve->last_mark, 1);

    cad::set_highlight_status_of_ids(registry, {3, 2, 1}, false);
    EXPECT_FALSE(c->selected);
    EXPECT_FALSE(body->selected);
    EXPECT_FALSE(curve->selected);
}

// The part's root is no object to select; an unknown id stops the call
// where it stands.
TEST(Highlight, ThePartsRootIsIgnoredAndAnUnknownIdStopsTheCall)
{
    PartFixture f;
    cad::set_highlight_status_of_ids(f.registry, {0, 1, 3}, true);
    EXPECT_TRUE(f.b1->selected && f.p->selected);
    EXPECT_THROW(cad::set_highlight_status_of_ids(f.registry, {2, 99, 3}, false), std::out_of_range);
    EXPECT_TRUE(f.p->selected);
    cad::refresh_display(f.registry);
    EXPECT_EQ(f.model.log->count("Display::redraw"), 1u);
}

TEST(PersistentIds, DecimalBytesLookedUpBothWaysAndSharedTextsToTheLatest)
{
    PartFixture f;
    const auto texts = cad::get_persistent_ids(f.registry, {0, 1, 2, 3});
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(cad::get_node_ids(f.registry, texts), (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(cad::get_node_ids(f.registry, {"", "1 2 3 ", "12 0 255"}), (std::vector<int32_t>{-1, -1, -1}));
    EXPECT_THROW(cad::get_persistent_ids(f.registry, {1, 500}), std::out_of_range);
    // Computed afresh from the host at each call: an object without one has none.
    f.b1->persistent_id = {12, 0, 255};
    EXPECT_EQ(f.registry.persistent_id_text(1), "12 0 255 ");
    f.b1->has_dispatch = false;
    EXPECT_EQ(f.registry.persistent_id_text(1), "");

    // Two objects with one text: the text names the later.
    f.b2->persistent_id = {9, 9};
    f.p->persistent_id = {9, 9};
    CAD_RPC::Tree tree;
    cad::build_cad_tree(f.registry, tree);  // 4 to 7
    EXPECT_EQ(cad::get_node_ids(f.registry, {"9 9 "}), (std::vector<int32_t>{7}));
}
