#include "app/about/HBAboutBoxController.h"

#include "app/about/DevmateIntegrate.h"
#include "app/about/HBTableRowView.h"
#include "platform/base/Bundle.h"
#include "platform/interface/Workspace.h"
#include "platform/vendor/DM_SUUpdater.h"
#include "platform/vendor/Mailto.h"
#include "ui_HBAboutBox.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QPushButton>

HBAboutBoxController::HBAboutBoxController(QWidget* parent) : hb::ViewController(parent) {}

HBAboutBoxController::~HBAboutBoxController() = default;

void HBAboutBoxController::loadView()
{
    ui = std::make_unique<Ui::HBAboutBox>();
    ui->setupUi(this);
    versionLabel = ui->versionLabel;
    const QString icon = hb::Bundle::pathForResource(QStringLiteral("images"), QStringLiteral("statusBarIcon"),
                                                     {QStringLiteral("svg"), QStringLiteral("png")});
    if (!icon.isEmpty())
        ui->iconLabel->setPixmap(QIcon(icon).pixmap(64, 64));

    m_rows = {
        {QStringLiteral("websiteButton"), QStringLiteral("Harbrill Website"),
         &HBAboutBoxController::showHarbrillWebsite},
        {QStringLiteral("moreAppsButton"), QStringLiteral("More Apps"), &HBAboutBoxController::showMoreApps},
        {QStringLiteral("termsButton"), QStringLiteral("Terms & Conditions"),
         &HBAboutBoxController::showTermsandCondition},
        {QStringLiteral("supportButton"), QStringLiteral("Contact Support"), &HBAboutBoxController::showContactSupport},
        {QStringLiteral("feedbackButton"), QStringLiteral("Send Feedback"),
         &HBAboutBoxController::launchFeedbackWindow}};
    // Without an updater the package manager brings new versions: no row that would do nothing.
    if (DM_SUUpdater::sharedUpdater())
        m_rows.push_back({QStringLiteral("updateButton"), QStringLiteral("Check for Updates"),
                          &HBAboutBoxController::checkForUpdateFromRow});
    ui->actionsTable->setRowHeight(36);
    ui->actionsTable->setDataSource(this);
    ui->actionsTable->setDelegate(this);
    ui->actionsTable->reloadData();
    ui->actionsTable->setFixedHeight(ui->actionsTable->sizeHint().height());
}

void HBAboutBoxController::viewDidLoad()
{
    hb::ViewController::viewDidLoad();
    setVersionLabel();
}

std::int64_t HBAboutBoxController::numberOfRowsInTableView(hb::TableView&)
{
    return std::int64_t(m_rows.size());
}

std::unique_ptr<QWidget> HBAboutBoxController::tableViewViewForRow(hb::TableView&, std::int64_t row)
{
    const Row& entry = m_rows.at(std::size_t(row));
    auto view = std::make_unique<HBTableRowView>();
    auto* layout = new QHBoxLayout(view.get());
    layout->setContentsMargins(14, 2, 14, 2);
    auto* button = new QPushButton(view.get());
    button->setObjectName(entry.objectName);
    button->setAccessibleName(entry.title);
    button->setText(QString(entry.title).replace(u'&', QStringLiteral("&&")));
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    connect(button, &QPushButton::clicked, this, entry.action);
    layout->addWidget(button);
    layout->addStretch();
    return view;
}

void HBAboutBoxController::setVersionLabel()
{
    setVersionLabel(hb::Bundle::infoDictionary());
}

void HBAboutBoxController::setVersionLabel(const QVariantMap& infoDictionary)
{
    const QVariant shortVersion = infoDictionary.value(QStringLiteral("CFBundleShortVersionString"));
    const QVariant build = infoDictionary.value(QStringLiteral("CFBundleVersion"));
    if (!versionLabel || !shortVersion.isValid() || !build.isValid())
        return;
    versionLabel->setText(QStringLiteral("Version: ") + shortVersion.toString() + QStringLiteral(" (")
                          + build.toString() + QStringLiteral(")"));
    versionLabel->setAccessibleName(versionLabel->text());
}

void HBAboutBoxController::openPage(const QString& infoKey)
{
    hb::Workspace::openURL(QUrl(hb::Bundle::objectForInfoDictionaryKey(infoKey).toString()));
}

void HBAboutBoxController::showHarbrillWebsite()
{
    openPage(QStringLiteral("HBWebsiteURL"));
}

void HBAboutBoxController::showMoreApps()
{
    openPage(QStringLiteral("HBMoreAppsURL"));
}

void HBAboutBoxController::showTermsandCondition()
{
    openPage(QStringLiteral("HBTermsURL"));
}

void HBAboutBoxController::showContactSupport()
{
    QString text = QStringLiteral("mailto:") + hb::Mailto::supportAddress() + QStringLiteral("?subject=")
                   + QStringLiteral("I have a query about Harbrill");
    text.replace(u' ', QStringLiteral("%20"));
    hb::Workspace::openURL(QUrl(text));
}

void HBAboutBoxController::launchFeedbackWindow()
{
    if (QWidget* shown = window())
        shown->close();
    DevmateIntegrate::shared().showFeedbackWindow();
}

void HBAboutBoxController::checkForUpdate(QObject* sender)
{
    if (DM_SUUpdater* updater = DM_SUUpdater::sharedUpdater())
        updater->checkForUpdates(sender);
}

void HBAboutBoxController::checkForUpdateFromRow()
{
    checkForUpdate(sender());
}
