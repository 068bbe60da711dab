// The Qt-bound shared pieces (language forms, split window) live here.
namespace vz {
int WidgetsUnitCount() { return 0; }
}  // namespace vz
