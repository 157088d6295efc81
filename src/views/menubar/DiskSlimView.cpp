#include "DiskSlimView.h"

#include "BinwellViewModel.h"

namespace rubbly {

DiskSlimView::DiskSlimView(BinwellViewModel& viewModel, Workspace& workspace, QWidget* parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_workspace(workspace)
{
}

void DiskSlimView::appeared()
{
    if (m_viewModel.diskSlimItems().isEmpty() && !m_viewModel.isScanningSlim())
        m_viewModel.scanSlim(false);
}

} // namespace rubbly
