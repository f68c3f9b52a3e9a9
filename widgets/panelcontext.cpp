#include "widgets/panelcontext.h"

#include "link/procedure.h"

void startProcedure(const PanelContext &context, QCoro::Task<> task) {
    runProcedure(std::move(task), context.reportFailure);
}
