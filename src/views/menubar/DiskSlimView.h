#pragma once

#include <QWidget>

namespace rubbly {

class BinwellViewModel;
class Workspace;

class DiskSlimView final : public QWidget {
    Q_OBJECT
public:
    DiskSlimView(BinwellViewModel& viewModel, Workspace& workspace, QWidget* parent = nullptr);
    // The tab came into view: scans when there is nothing to show and no scan runs.
    void appeared();

private:
    BinwellViewModel& m_viewModel;
    Workspace& m_workspace;
};

} // namespace rubbly
