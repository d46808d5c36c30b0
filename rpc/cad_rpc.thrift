// The contract between the add-in (server) and the GUI (client).
// Field ids, wire types and requiredness are fixed: stored files and the
// peer rely on them, so never renumber or retype a field.

namespace cpp CAD_RPC

enum UnknownNodeType {
  Unknown = -1
}

enum CAE_NodeType {
  CAE_Struct = -1,
  MultibodyMIP = -2
}

enum NodeType {
  Structure = 0,
  Solid = 1,
  ElementMIP = 2,
  Curve = 3,
  Point = 4
}

enum FacetModelQuality {
  Coarse = 0,
  Standard = 1,
  Fine = 2,
  ExtraFine = 3
}

enum MIP_Settings {
  MIPForEach = 0,
  SingleMIPForAll = 1
}

enum VisibilitySettings {
  AllUnchanged = 0,
  AllAsVisible = 1,
  OnlyVisible = 2
}

enum TemplatesSettings {
  SimpleObjectEnumeration = 0,
  SearchForTemplates = 1
}

struct Node {
  1: required NodeType type = NodeType.Structure,
  2: required string name,
  3: required i32 id = 0,
  4: required i32 parent_id = 0,
  5: required bool is_visible = false,
  6: required list<i32> children_ids
}

struct Tree {
  1: required i32 root_id = 0,
  2: required map<i32, Node> nodes,
  3: optional map<i32, i32> node_parent_ids
}

struct Settings {
  1: required string save_filepath,
  2: required bool export_solids = false,
  3: required bool export_curves = false,
  4: required bool export_points = false,
  5: required bool export_MIPs = false,
  6: required FacetModelQuality facet_model_quality = FacetModelQuality.Coarse,
  7: required MIP_Settings MIP_settings = MIP_Settings.MIPForEach,
  8: required VisibilitySettings visibility_settings = VisibilitySettings.AllUnchanged,
  9: required TemplatesSettings templates_settings = TemplatesSettings.SimpleObjectEnumeration
}

service CAD_RPC_Service {
  void stop_rpc_service(),
  Tree get_cad_tree(),
  void set_highlight_status_of_ids(1: list<i32> node_ids, 2: bool highlight),
  void refresh_display(),
  list<string> get_persistent_ids(1: list<i32> node_ids),
  list<i32> get_node_ids(1: list<string> persistent_ids),
  list<bool> get_min_size_comparison_results(1: double min_size, 2: list<i32> node_ids),
  void export_zel(1: Tree tree, 2: Settings settings)
}
