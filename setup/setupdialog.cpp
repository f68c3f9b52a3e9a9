#include "setup/setupdialog.h"

#include "link/numbers.h"
#include "setup/language.h"
#include "setup/setuprules.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

SetupDialog::SetupDialog(Language &language, QWidget *parent)
    : QDialog(parent), m_language(language) {
    setObjectName(QStringLiteral("SetupDialog"));
    setModal(true);
    auto named = [this](auto *w, const char *name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };

    m_displayLabel = named(new QLabel(this), "displayLabel");
    m_modeGroup = named(new QButtonGroup(this), "modeGroup");
    m_oneToOneButton = named(new QRadioButton(this), "oneToOneButton");
    m_addButton = named(new QRadioButton(this), "addButton");
    m_subButton = named(new QRadioButton(this), "subButton");
    m_multButton = named(new QRadioButton(this), "multButton");
    m_divButton = named(new QRadioButton(this), "divButton");
    m_operatorLabel = named(new QLabel(this), "operatorLabel");
    m_operatorEntry = named(new QLineEdit(this), "operatorEntry");
    m_coarseStepLabel = named(new QLabel(this), "coarseStepLabel");
    m_coarseStepEntry = named(new QLineEdit(this), "coarseStepEntry");
    m_coarseStepUnitLabel = named(new QLabel(this), "coarseStepUnitLabel");
    m_czechBox = named(new QCheckBox(this), "czechBox");
    m_upgradeButton = named(new QPushButton(this), "upgradeButton");
    m_saveButton = named(new QPushButton(this), "saveButton");
    m_cancelButton = named(new QPushButton(this), "cancelButton");
    m_saveButton->setDefault(true);

    // The option group on the left under its heading, the two text rows below it; the
    // language box and the buttons on the right.
    auto *left = new QVBoxLayout;
    left->addWidget(m_displayLabel);
    int mode = 0;
    for (QRadioButton *b :
         {m_oneToOneButton, m_addButton, m_subButton, m_multButton, m_divButton}) {
        m_modeGroup->addButton(b, mode++);
        left->addWidget(b);
    }
    auto *rows = new QGridLayout;
    rows->addWidget(m_operatorLabel, 0, 0);
    rows->addWidget(m_operatorEntry, 0, 1);
    rows->addWidget(m_coarseStepLabel, 1, 0);
    rows->addWidget(m_coarseStepEntry, 1, 1);
    rows->addWidget(m_coarseStepUnitLabel, 1, 2);
    left->addSpacing(8);
    left->addLayout(rows);
    auto *right = new QVBoxLayout;
    right->addWidget(m_czechBox);
    right->addWidget(m_upgradeButton);
    right->addStretch();
    right->addWidget(m_saveButton);
    right->addWidget(m_cancelButton);
    auto *columns = new QHBoxLayout(this);
    columns->addLayout(left, 1);
    columns->addSpacing(16);
    columns->addLayout(right);

    // A mode is chosen when its option becomes checked, by a click or without one (a
    // screen reader's toggle action); a click on the option already
    // checked applies the factor rule again, as it always did.
    connect(m_modeGroup, &QButtonGroup::idToggled, this, [this](int mode, bool checked) {
        if (checked)
            modeClicked(mode);
    });
    connect(m_modeGroup, &QButtonGroup::idClicked, this, &SetupDialog::modeClicked);
    connect(m_saveButton, &QPushButton::clicked, this, &SetupDialog::save);
    connect(m_cancelButton, &QPushButton::clicked, this, &SetupDialog::reject);
    connect(m_upgradeButton, &QPushButton::clicked, this, &SetupDialog::upgradeRequested);
    connect(m_czechBox, &QCheckBox::toggled, this,
            [this](bool ticked) { m_language.setCzechChosen(ticked); });

    retranslate();
}

void SetupDialog::retranslate() {
    setWindowTitle(tr("Setup"));
    m_displayLabel->setText(tr("KVT Display present :"));
    m_oneToOneButton->setText(tr("1:1 (Fdisp=Fosc)"));
    m_addButton->setText(tr("Add (Fdisp=Fosc+Operator)"));
    m_subButton->setText(tr("Sub (Fdisp=Fosc-Operator)"));
    m_multButton->setText(tr("Mult (Fdisp=Fosc x Operator)"));
    m_divButton->setText(tr("Div (Fdisp=Fosc / Operator"));
    m_operatorLabel->setText(tr("Operator :"));
    m_coarseStepLabel->setText(tr("Coarse tuning step :"));
    m_coarseStepUnitLabel->setText(tr("Hz"));
    // The language box names its language in that language, whatever the captions.
    m_czechBox->setText(QStringLiteral("Čeština"));
    m_upgradeButton->setText(tr("Upgrade FW"));
    m_saveButton->setText(tr("Save"));
    m_cancelButton->setText(tr("Cancel"));
}

void SetupDialog::changeEvent(QEvent *event) {
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QDialog::changeEvent(event);
}

void SetupDialog::showEvent(QShowEvent *event) {
    loadFields();
    QDialog::showEvent(event);
}

void SetupDialog::loadFields() {
    // Showing the generator's mode is not a choice of the user's: the factor rule must
    // not rewrite the operator it came with.
    const QSignalBlocker loading(m_modeGroup);
    // An exclusive group cannot be cleared; it is opened up for that moment.
    m_modeGroup->setExclusive(false);
    for (QAbstractButton *b : m_modeGroup->buttons())
        b->setChecked(false);
    m_modeGroup->setExclusive(true);
    if (QAbstractButton *b = m_modeGroup->button(m_values.mode))
        b->setChecked(true);
    m_operatorEntry->setText(Numbers::plain(qint64(m_values.displayOperator)));
    m_coarseStepEntry->setText(Numbers::plain(qint64(m_values.coarseStep)));
}

void SetupDialog::modeClicked(int mode) {
    // Mult and Div need a factor: an operator that reads as 0 becomes 1 at once.
    if (mode >= SetupRules::FirstFactorMode && SetupRules::operatorIsZero(m_operatorEntry->text()))
        m_operatorEntry->setText(QStringLiteral("1"));
    // The mode is stored at once; Save does not change it.
    m_values.mode = static_cast<int16_t>(mode);
}

void SetupDialog::setValues(const SetupRules::Values &values) {
    m_values = values;
    m_result.reset();
    loadFields();
}

void SetupDialog::save() {
    m_values.displayOperator = SetupRules::savedOperator(m_operatorEntry->text(), m_values.mode);
    m_values.coarseStep = SetupRules::savedCoarseStep(m_coarseStepEntry->text());
    m_result = m_values;
    hide();
}

void SetupDialog::reject() {
    m_values = {-1, -1, -1};
    m_result.reset();
    QDialog::reject();
}

void SetupDialog::setSaveAllowed(bool allowed) {
    m_saveButton->setEnabled(allowed);
}
