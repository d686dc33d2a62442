-- feature: hand-written ad-hoc queries: mixed qualifiers, comma items, self joins, subqueries
-- default_db: PROD
-- default_schema: CORE

-- case: unaliased tables qualified by name
-- join: INNER | prod.core.orders | prod.core.customers
select orders.id, customers.email from orders join customers on orders.customer_id = customers.id where orders.created_at > dateadd(day, -7, current_date())

-- case: comma items before an explicit join
-- join: INNER | prod.core.regions | prod.core.managers
SELECT * FROM accounts a, regions r
JOIN managers m ON m.region_id = r.id
WHERE a.region_id = r.id

-- case: unqualified left column falls back to the whole left side
-- join: INNER | prod.core.sessions | prod.core.users
select * from sessions s join users u on user_id = u.id

-- case: self joins up the management chain
-- join: LEFT OUTER | prod.hr.employees | prod.hr.employees
-- join: LEFT OUTER | prod.hr.employees | prod.hr.employees
SELECT e.name, m.name AS manager, mm.name AS skip_level
FROM hr.employees e
LEFT JOIN hr.employees m ON e.manager_id = m.id
LEFT JOIN hr.employees mm ON m.manager_id = mm.id

-- case: join inside an IN subquery
-- join: INNER | prod.core.orders | prod.core.order_items
select c.id, c.name
from customers c
where c.id in (
  select o.customer_id from orders o join order_items oi on oi.order_id = o.id where oi.sku = 'X-1'
)

-- case: join inside a correlated scalar subquery
-- join: INNER | prod.core.reviews | prod.core.users
select p.id,
  (select count(*) from reviews r join users u on u.id = r.user_id where r.product_id = p.id and u.verified) as verified_reviews
from products p

-- case: time travel on the joined table
-- join: INNER | prod.finance.accounts | prod.finance.accounts
select a.*, b.balance as balance_yesterday
from finance.accounts a
join finance.accounts at(offset => -86400) b on a.id = b.id

-- case: names across databases and db..table
-- join: INNER | raw_db.public.web_events | prod.core.users
-- join: INNER | raw_db.public.web_events | marketing_db.ads.campaigns
select *
from raw_db..web_events w
join prod.core.users u on u.id = w.user_id
join marketing_db.ads.campaigns c on c.id = w.campaign_id

-- case: group by all, having, order by nulls last, limit offset
-- join: INNER | prod.core.orders | prod.core.users
select u.country, count(distinct o.id) as orders
from orders o
inner join users u on o.user_id = u.id
group by all
having count(*) > 10
order by orders desc nulls last
limit 20 offset 40

-- case: platform instance prefixes every name
-- platform_instance: eu_prod
-- join: INNER | eu_prod.prod.core.orders | eu_prod.prod.core.customers
select * from orders o join customers c on c.id = o.customer_id

-- case: old-style outer join markers beside an explicit join
-- join: INNER | prod.core.orders | prod.core.customers
select o.id, c.name, r.code
from orders o join customers c on c.id = o.customer_id, regions r
where r.id(+) = c.region_id and r.active(+) = 1

-- case: hierarchical query with connect by and a join
-- join: LEFT OUTER | prod.core.employees | prod.core.departments
select e.id, e.manager_id, d.name, level
from employees e
left join departments d on d.id = e.department_id
start with e.manager_id is null
connect by prior e.id = e.manager_id

-- case: hierarchy with CONNECT_BY_ROOT
-- join: INNER | prod.core.employees | prod.core.departments
select connect_by_root e.name as top_manager, e.name, d.title
from employees e join departments d on d.id = e.department_id
start with e.manager_id is null
connect by prior e.id = e.manager_id
