// The widgets library gains its windows as they are built.
namespace merilog::ui {}
