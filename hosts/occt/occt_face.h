#pragma once
// A face of a part's solid, as a body of one occurrence hands it out and a
// tessellation finds its triangles by it.
#include <memory>
#include <vector>

#include "occt_state.h"

namespace velmora::occt {

class OcctFace : public OcctObject, public cad::Face {
public:
    int part = -1, solid = -1;  // the part's solid the face belongs to
    int index = 0;              // its place in the body's face list
    std::shared_ptr<OcctFace> next;
    std::vector<double> appearance;
    cad::FacePtr get_next_face() override { return next; }
    std::vector<double> get_appearance() override { return appearance; }
};

}  // namespace velmora::occt
