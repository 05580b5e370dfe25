#pragma once

#include "orm/ClassInfo.h"
#include "orm/Registry.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVector>

#include <any>
#include <functional>
#include <memory>

namespace orm {

// Registration of one persistent class T. T provides
//     static void ormRegister(orm::ClassDef<T>& def);
// which names the table and lists the identifier, the data members and the
// relations in column order. The registration is made once, on first use.
template <class T>
class ClassDef : public ClassInfo
{
public:
    static ClassDef& instance()
    {
        static ClassDef* def = [] {
            auto* d = new ClassDef;
            T::ormRegister(*d);
            Registry::add(d);
            return d;
        }();
        return *def;
    }

    // Registration.
    void setName(const QString& table) { m_name = table; }

    ColumnInfo& id(int T::*member, const QString& name)
    {
        m_id = member;
        return addColumn(member, name, QStringLiteral("int"), ColumnKind::Id);
    }
    ColumnInfo& data(int T::*member, const QString& name)
    {
        return addColumn(member, name, QStringLiteral("int"), ColumnKind::Data);
    }
    ColumnInfo& data(qint64 T::*member, const QString& name)
    {
        return addColumn(member, name, QStringLiteral("long long"), ColumnKind::Data);
    }
    ColumnInfo& data(double T::*member, const QString& name)
    {
        return addColumn(member, name, QStringLiteral("double"), ColumnKind::Data);
    }
    ColumnInfo& data(QString T::*member, const QString& name)
    {
        return addColumn(member, name, QStringLiteral("QString"), ColumnKind::Data);
    }
    ColumnInfo& data(QByteArray T::*member, const QString& name)
    {
        return addColumn(member, name, QStringLiteral("QByteArray"), ColumnKind::Data);
    }

    // The column holds the parent's identifier; a fetched row gets a parent
    // object carrying only that identifier, so parent and child never own
    // each other.
    template <class P>
    ColumnInfo& manyToOne(std::shared_ptr<P> T::*member, const QString& name)
    {
        m_columns.append(ColumnInfo{name, QStringLiteral("int"), ColumnKind::ManyToOne, {}});
        m_accessors.append(Accessor{[member](const T& o) {
                                        const std::shared_ptr<P>& p = o.*member;
                                        return p ? QVariant(ClassDef<P>::instance().idOf(*p)) : QVariant(QVariant::Int);
                                    },
                                    [member](T& o, const QVariant& v) {
                                        std::shared_ptr<P>& p = o.*member;
                                        if (v.isNull()) {
                                            p.reset();
                                            return;
                                        }
                                        const int parentId = v.toInt();
                                        if (p && ClassDef<P>::instance().idOf(*p) == parentId)
                                            return;
                                        p = std::make_shared<P>();
                                        ClassDef<P>::instance().idOf(*p) = parentId;
                                    },
                                    std::any(member)});
        return m_columns.last();
    }

    template <class C>
    void oneToMany(QVector<std::shared_ptr<C>> T::*member, const QString& name, const QString& foreignKey)
    {
        m_relations.append(RelationInfo{name, foreignKey, ClassDef<C>::instance().name()});
        m_relationMembers.append(std::any(member));
    }

    // Access.
    int& idOf(T& o) const { return o.*m_id; }
    int idOf(const T& o) const { return o.*m_id; }
    QVariant value(const T& o, int column) const { return m_accessors.at(column).get(o); }
    void setValue(T& o, int column, const QVariant& v) const { m_accessors.at(column).set(o, v); }

    // The relation registered for that member, or nullptr.
    template <class C>
    const RelationInfo* relation(QVector<std::shared_ptr<C>> T::*member) const
    {
        using Member = QVector<std::shared_ptr<C>> T::*;
        for (int i = 0; i < m_relationMembers.size(); ++i) {
            const Member* m = std::any_cast<Member>(&m_relationMembers.at(i));
            if (m && *m == member)
                return &m_relations.at(i);
        }
        return nullptr;
    }

    // The many-to-one member of column `name` that refers to a P, or nullptr.
    template <class P>
    std::shared_ptr<P> T::*parentMember(const QString& name) const
    {
        using Member = std::shared_ptr<P> T::*;
        const int column = columnIndex(name);
        if (column < 0)
            return nullptr;
        const Member* m = std::any_cast<Member>(&m_accessors.at(column).member);
        return m ? *m : nullptr;
    }

private:
    struct Accessor
    {
        std::function<QVariant(const T&)> get;
        std::function<void(T&, const QVariant&)> set;
        std::any member;
    };

    ClassDef() = default;

    template <class F>
    ColumnInfo& addColumn(F T::*member, const QString& name, const QString& typeName, ColumnKind kind)
    {
        m_columns.append(ColumnInfo{name, typeName, kind, {}});
        m_accessors.append(Accessor{[member](const T& o) { return QVariant::fromValue(o.*member); },
                                    [member](T& o, const QVariant& v) { o.*member = v.value<F>(); }, std::any(member)});
        return m_columns.last();
    }

    int T::*m_id = nullptr;
    QVector<Accessor> m_accessors;
    QVector<std::any> m_relationMembers;
};

} // namespace orm
