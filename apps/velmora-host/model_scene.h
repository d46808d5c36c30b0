#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>

#include <AIS_InteractiveContext.hxx>
#include <Prs3d_Drawer.hxx>
#include <Quantity_Color.hxx>
#include <V3d_View.hxx>

#include "hosts/occt/occt_model.h"

namespace velmora::host {

// The model as the CAD window draws it: each solid of a part presented once
// and placed at every visible occurrence by reference, reference curves and
// points as lines and markers, hidden objects left out. Highlights are found
// by the keys the host hands out as persistent ids (occurrence paths,
// body_key, feature_key); a component's key stands for everything below it.
class ModelScene {
public:
    // Stands out from the model's colours and from the background.
    static Quantity_Color highlight_colour() { return Quantity_Color(1.0, 0.0, 1.0, Quantity_TOC_RGB); }

    ModelScene(const Handle(AIS_InteractiveContext)& context, const occt::OcctModel& model);

    // Draws a few small objects of every kind the scene uses, then removes
    // them: the renderer prepares (compiles) what it needs for them, which
    // under a software renderer takes seconds that can pass while a model
    // is read.
    static void warm_up(const Handle(AIS_InteractiveContext)& context, const Handle(V3d_View)& view);

    // Shows exactly these objects highlighted (those not named lose theirs).
    void highlight(const std::set<std::string>& keys);
    // How many objects are drawn (hidden ones are not).
    std::size_t shown_objects() const { return shown_; }

private:
    void add_occurrence(const occt::OcctModel& model, const occt::OcctOccurrence& occurrence,
                        std::vector<std::string>& owners);
    void show(const Handle(AIS_InteractiveObject)& object, const std::vector<std::string>& owners,
              const std::string& key);

    Handle(AIS_InteractiveContext) context_;
    Handle(Prs3d_Drawer) highlight_style_;
    // The presentation of each solid of each part, shared by its occurrences.
    std::vector<std::vector<Handle(AIS_InteractiveObject)>> prototypes_;
    std::map<std::string, std::vector<Handle(AIS_InteractiveObject)>> by_key_;
    std::map<AIS_InteractiveObject*, Handle(AIS_InteractiveObject)> highlighted_;
    std::size_t shown_ = 0;
};

}  // namespace velmora::host
