// Placeholder unit of the simulator library until its protocol side exists.
namespace vzsim {
int SimulatorVersion() { return 1; }
}  // namespace vzsim
