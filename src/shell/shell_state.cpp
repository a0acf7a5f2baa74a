#include "shell/shell_state.h"

#include "core/data_directory.h"

namespace vornicle {

ShellState::ShellState(const QString& dataDirectory, OperatorInterface& ui)
    : consumptionList(ConsumptionListColumns()),
      personnelList(PersonnelListColumns()),
      log(dataDirectory),
      workspace{store, consumptionList, personnelList, log, ui, DatabasePathIn(dataDirectory), ConsumptionView::WholeTable, {}}
{
}

}  // namespace vornicle
