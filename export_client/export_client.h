#pragma once
// What Tarvik's "Export" does, as plain client code: the same for Tarvik's
// window, velmora-host's headless export and velmora-client.
#include <optional>
#include <string>
#include <vector>

#include "CAD_RPC_Service.h"
#include "emc_shape.h"
#include "export_client/emc_file.h"

namespace tarvik {

// Tarvik's form as it opens: every kind of object, MIPs for each solid,
// visibility unchanged, no templates, the standard facet model.
CAD_RPC::Settings default_settings();

// The kinds of object to export from a list such as "solids,mips" (of
// solids, curves, points, mips); false when it names none of them.
bool set_exported_kinds(const std::string& list, CAD_RPC::Settings& settings);

// Each CAE item's CAD objects in this CAD session, found by their persistent
// ids: node ids, -1 for an object this model lacks. Throws on a wrong answer.
std::vector<std::vector<int32_t>> find_emc_objects(CAD_RPC::CAD_RPC_ServiceClient& client, const EMC::Config& config);

// The configuration's items as the reshaping takes them.
std::vector<EmcItem> emc_items(const EMC::Config& config, const std::vector<std::vector<int32_t>>& node_ids);

// The add-in's size comparison over `client`.
SizeComparison size_comparison(CAD_RPC::CAD_RPC_ServiceClient& client);

// Builds the export tree from what the export view shows (the CAD tree, or
// its EMC reshaping) and has the add-in export it.
void export_shown(CAD_RPC::CAD_RPC_ServiceClient& client, const CAD_RPC::Settings& settings, const ShownItem& shown);

// Takes the CAD tree, builds the export tree as Tarvik does (reshaped by
// `emc` when given, one MIP per parent when the settings say so) and has
// the add-in export it. Throws with the cause Tarvik would show.
void export_model(CAD_RPC::CAD_RPC_ServiceClient& client, const CAD_RPC::Settings& settings,
                  const std::optional<EMC::Config>& emc = std::nullopt);

}  // namespace tarvik
