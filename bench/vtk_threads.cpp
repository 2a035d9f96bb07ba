// VTK's threading switch, in a file of its own: vtkSMPTools.h of VTK 9.1 does not compile as C++20,
// so this file alone is built as C++17.

#include <vtkSMPTools.h>

namespace apebench {

// One core, as for our sweep: VTK's sequential back end, and one thread should another be in use.
void use_one_vtk_thread() {
  vtkSMPTools::SetBackend("Sequential");
  vtkSMPTools::Initialize(1);
}

}  // namespace apebench
