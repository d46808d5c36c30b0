#pragma once
// Forward declarations and owning references of the CAD host roles.
// Host objects are reference counted (COM semantics): a shared_ptr is one
// reference, released when it goes out of scope.
#include <memory>

namespace velmora::cad {

class HostObject;
class Application;
class ArrayReader;
class CommandManager;
class CommandGroup;
class Document;
class Extension;
class MassProperty;
class Configuration;
class PartDocument;
class Component;
class BodyEnumerator;
class Body;
class Face;
class Tessellation;
class Feature;
class CurveDefinition;
class CurveSegment;
class Curve;
class PointDefinition;
class Display;
class SelectionManager;
class SelectionOptions;

using HostObjectPtr = std::shared_ptr<HostObject>;
using ApplicationPtr = std::shared_ptr<Application>;
using ArrayReaderPtr = std::shared_ptr<ArrayReader>;
using CommandManagerPtr = std::shared_ptr<CommandManager>;
using CommandGroupPtr = std::shared_ptr<CommandGroup>;
using DocumentPtr = std::shared_ptr<Document>;
using ExtensionPtr = std::shared_ptr<Extension>;
using MassPropertyPtr = std::shared_ptr<MassProperty>;
using ConfigurationPtr = std::shared_ptr<Configuration>;
using PartDocumentPtr = std::shared_ptr<PartDocument>;
using ComponentPtr = std::shared_ptr<Component>;
using BodyEnumeratorPtr = std::shared_ptr<BodyEnumerator>;
using BodyPtr = std::shared_ptr<Body>;
using FacePtr = std::shared_ptr<Face>;
using TessellationPtr = std::shared_ptr<Tessellation>;
using FeaturePtr = std::shared_ptr<Feature>;
using CurveDefinitionPtr = std::shared_ptr<CurveDefinition>;
using CurveSegmentPtr = std::shared_ptr<CurveSegment>;
using CurvePtr = std::shared_ptr<Curve>;
using PointDefinitionPtr = std::shared_ptr<PointDefinition>;
using DisplayPtr = std::shared_ptr<Display>;
using SelectionManagerPtr = std::shared_ptr<SelectionManager>;
using SelectionOptionsPtr = std::shared_ptr<SelectionOptions>;

}  // namespace velmora::cad
