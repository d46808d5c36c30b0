// The contract's structures on the wire: what the peer and stored data rely on.
#include <gtest/gtest.h>

#include <sstream>

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include "cad_rpc_types.h"

using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::protocol::TProtocolException;
using apache::thrift::protocol::TType;
using apache::thrift::transport::TMemoryBuffer;

namespace {

struct Wire {
    std::shared_ptr<TMemoryBuffer> buffer = std::make_shared<TMemoryBuffer>();
    TBinaryProtocol protocol{buffer};
    std::string bytes() const { return buffer->getBufferAsString(); }
};

template <class T>
T round_trip(const T& value)
{
    Wire w;
    value.write(&w.protocol);
    T back;
    back.read(&w.protocol);
    return back;
}

CAD_RPC::Node node(int id, CAD_RPC::NodeType::type type, const std::string& name, int parent,
                   std::vector<int32_t> children = {})
{
    CAD_RPC::Node n;
    n.id = id;
    n.type = type;
    n.name = name;
    n.parent_id = parent;
    n.is_visible = true;
    n.children_ids = std::move(children);
    return n;
}

// Writes a Settings by hand, leaving out field `skip` and adding `extra` fields.
void write_settings_fields(TBinaryProtocol& p, int skip, bool extra_field_10)
{
    p.writeStructBegin("Settings");
    if (skip != 1) {
        p.writeFieldBegin("save_filepath", TType::T_STRING, 1);
        p.writeString(std::string("/tmp/a.zel"));
        p.writeFieldEnd();
    }
    for (int16_t id = 2; id <= 5; ++id) {
        if (id == skip) continue;
        p.writeFieldBegin("flag", TType::T_BOOL, id);
        p.writeBool(true);
        p.writeFieldEnd();
    }
    for (int16_t id = 6; id <= 9; ++id) {
        if (id == skip) continue;
        p.writeFieldBegin("enum", TType::T_I32, id);
        p.writeI32(1);
        p.writeFieldEnd();
    }
    if (extra_field_10) {
        p.writeFieldBegin("future", TType::T_LIST, 10);
        p.writeListBegin(TType::T_STRING, 2);
        p.writeString(std::string("a"));
        p.writeString(std::string("b"));
        p.writeListEnd();
        p.writeFieldEnd();
    }
    p.writeFieldStop();
    p.writeStructEnd();
}

}  // namespace

TEST(Wire, TreeSurvivesRoundTripAndKeepsParentIdsUnset)
{
    CAD_RPC::Tree tree;
    tree.root_id = 0;
    EXPECT_EQ(round_trip(tree), tree);
    EXPECT_FALSE(round_trip(tree).__isset.node_parent_ids);

    tree.root_id = 1;
    tree.nodes[2] = node(2, CAD_RPC::NodeType::Solid, "Body1", 1);
    tree.nodes[1] = node(1, CAD_RPC::NodeType::Structure, "Part1", 0, {2});
    const auto back = round_trip(tree);
    EXPECT_EQ(back, tree);
    EXPECT_FALSE(back.__isset.node_parent_ids);

    // Field 3 is absent on the wire: the encoding holds no field header with id 3.
    Wire w;
    tree.write(&w.protocol);
    CAD_RPC::Tree probe;
    std::string with_unset = w.bytes();
    probe = tree;
    probe.__set_node_parent_ids({});
    Wire w2;
    probe.write(&w2.protocol);
    // An empty map adds exactly its header: field (3 bytes) + key, value, count (6 bytes).
    EXPECT_EQ(w2.bytes().size(), with_unset.size() + 9);
    const auto back2 = round_trip(probe);
    EXPECT_TRUE(back2.__isset.node_parent_ids);
    EXPECT_TRUE(back2.node_parent_ids.empty());
}

TEST(Wire, TextFormMatchesTheDiagnosticsFormat)
{
    CAD_RPC::Tree tree;
    tree.root_id = 1;
    tree.nodes[1] = node(1, CAD_RPC::NodeType::Structure, "Part1", 0, {2});
    tree.nodes[2] = node(2, CAD_RPC::NodeType::Solid, "Body1", 1);
    std::ostringstream out;
    out << tree;
    EXPECT_EQ(out.str(),
              "Tree(root_id=1, nodes={1: Node(type=Structure, name=Part1, id=1, parent_id=0, is_visible=1, "
              "children_ids=[2]), 2: Node(type=Solid, name=Body1, id=2, parent_id=1, is_visible=1, "
              "children_ids=[])}, node_parent_ids=<null>)");
}

TEST(Wire, UnnamedEnumValueSurvivesAndPrintsAsNumber)
{
    auto n = node(5, static_cast<CAD_RPC::NodeType::type>(7), "X", 0);
    const auto back = round_trip(n);
    EXPECT_EQ(back.type, 7);
    std::ostringstream out;
    out << back;
    EXPECT_NE(out.str().find("type=7,"), std::string::npos) << out.str();
}

TEST(Wire, SettingsRequiredFieldsAndUnknownFields)
{
    {
        Wire w;
        write_settings_fields(w.protocol, 9, false);
        CAD_RPC::Settings s;
        try {
            s.read(&w.protocol);
            FAIL() << "a Settings without templates_settings was accepted";
        } catch (const TProtocolException& e) {
            EXPECT_STREQ(e.what(), "TProtocolException: Invalid data");
        }
    }
    {
        Wire w;
        write_settings_fields(w.protocol, 0, true);
        CAD_RPC::Settings s;
        s.read(&w.protocol);
        EXPECT_EQ(s.save_filepath, "/tmp/a.zel");
        EXPECT_TRUE(s.export_MIPs);
        EXPECT_EQ(s.templates_settings, CAD_RPC::TemplatesSettings::SearchForTemplates);
        // The extra field was consumed: nothing is left to read.
        EXPECT_EQ(w.buffer->available_read(), 0u);
    }
}

TEST(Wire, MistypedFieldIsSkippedThenReportedMissing)
{
    Wire w;
    auto& p = w.protocol;
    p.writeStructBegin("Node");
    p.writeFieldBegin("type", TType::T_I32, 1);
    p.writeI32(1);
    p.writeFieldEnd();
    p.writeFieldBegin("name", TType::T_STRING, 2);
    p.writeString(std::string("n"));
    p.writeFieldEnd();
    p.writeFieldBegin("id", TType::T_STRING, 3);  // wrong wire type
    p.writeString(std::string("3"));
    p.writeFieldEnd();
    p.writeFieldBegin("parent_id", TType::T_I32, 4);
    p.writeI32(0);
    p.writeFieldEnd();
    p.writeFieldBegin("is_visible", TType::T_BOOL, 5);
    p.writeBool(true);
    p.writeFieldEnd();
    p.writeFieldBegin("children_ids", TType::T_LIST, 6);
    p.writeListBegin(TType::T_I32, 0);
    p.writeListEnd();
    p.writeFieldEnd();
    p.writeFieldStop();
    p.writeStructEnd();
    CAD_RPC::Node n;
    EXPECT_THROW(
        {
            try {
                n.read(&w.protocol);
            } catch (const TProtocolException& e) {
                EXPECT_STREQ(e.what(), "TProtocolException: Invalid data");
                throw;
            }
        },
        TProtocolException);
    EXPECT_EQ(w.buffer->available_read(), 0u);
}

TEST(Wire, NodesAreWrittenInAscendingIdOrder)
{
    CAD_RPC::Tree tree;
    for (int id : {9, -1, 4, 0}) tree.nodes[id] = node(id, CAD_RPC::NodeType::Point, "p", 0);
    Wire w;
    tree.write(&w.protocol);

    auto& p = w.protocol;
    std::string name;
    TType type;
    int16_t fid;
    p.readStructBegin(name);
    p.readFieldBegin(name, type, fid);  // root_id
    int32_t root;
    p.readI32(root);
    p.readFieldEnd();
    p.readFieldBegin(name, type, fid);
    ASSERT_EQ(fid, 2);
    TType kt, vt;
    uint32_t count;
    p.readMapBegin(kt, vt, count);
    ASSERT_EQ(count, 4u);
    std::vector<int32_t> keys;
    for (uint32_t i = 0; i < count; ++i) {
        int32_t key;
        p.readI32(key);
        keys.push_back(key);
        CAD_RPC::Node n;
        n.read(&p);
        EXPECT_EQ(n.id, key);
    }
    EXPECT_EQ(keys, (std::vector<int32_t>{-1, 0, 4, 9}));
}

TEST(Wire, NestingBeyondTheDepthLimitIsRefused)
{
    // A Tree whose node map holds a Node, whose unknown field 7 is a struct
    // nested 70 levels deep: the skip of unknown fields counts depth too.
    Wire w;
    auto& p = w.protocol;
    p.writeStructBegin("Tree");
    p.writeFieldBegin("deep", TType::T_STRUCT, 9);
    for (int i = 0; i < 70; ++i) {
        p.writeStructBegin("S");
        p.writeFieldBegin("s", TType::T_STRUCT, 1);
    }
    p.writeStructBegin("S");
    p.writeFieldStop();
    p.writeStructEnd();
    for (int i = 0; i < 70; ++i) {
        p.writeFieldEnd();
        p.writeFieldStop();
        p.writeStructEnd();
    }
    p.writeFieldEnd();
    p.writeFieldStop();
    p.writeStructEnd();
    CAD_RPC::Tree tree;
    try {
        tree.read(&w.protocol);
        FAIL() << "a message nested 70 levels deep was read";
    } catch (const TProtocolException& e) {
        EXPECT_STREQ(e.what(), "TProtocolException: Exceeded depth limit");
    }
}
