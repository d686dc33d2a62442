-- feature: dbt-style models: CTE chains, renames, nested WITH, shadowing, recursive CTEs
-- default_db: DBT_PROD
-- default_schema: ANALYTICS

-- case: customers model of a sample shop
-- join: LEFT OUTER | dbt_prod.staging.stg_payments | dbt_prod.staging.stg_orders
-- join: LEFT OUTER | dbt_prod.staging.stg_customers | dbt_prod.staging.stg_orders
-- join: LEFT OUTER | dbt_prod.staging.stg_customers | dbt_prod.staging.stg_orders
with customers as (
    select * from dbt_prod.staging.stg_customers
),
orders as (
    select * from dbt_prod.staging.stg_orders
),
payments as (
    select * from dbt_prod.staging.stg_payments
),
customer_orders as (
    select customer_id, min(order_date) as first_order, count(order_id) as number_of_orders
    from orders
    group by customer_id
),
customer_payments as (
    select orders.customer_id, sum(amount) as total_amount
    from payments
    left join orders on payments.order_id = orders.order_id
    group by orders.customer_id
),
final as (
    select customers.customer_id, customers.first_name, customer_orders.first_order,
           customer_payments.total_amount as customer_lifetime_value
    from customers
    left join customer_orders on customers.customer_id = customer_orders.customer_id
    left join customer_payments on customers.customer_id = customer_payments.customer_id
)
select * from final

-- case: incremental model with a filter subquery on itself
-- join: INNER | raw.events.page_events | dbt_prod.analytics.dim_users
select e.event_id, e.user_id, u.plan, e.occurred_at
from raw.events.page_events e
join dbt_prod.analytics.dim_users u on u.user_id = e.user_id
where e.occurred_at > (select max(occurred_at) from dbt_prod.analytics.fct_page_events)

-- case: renamed columns traced through three CTE levels
-- join: INNER | salesforce.raw.account | salesforce.raw.user
with src as (
  select id as account_id, owner_id as rep_id from salesforce.raw.account
), renamed as (
  select account_id as acct, rep_id as rep from src
), reps as (
  select id as rep_key, name from salesforce.raw.user
)
select renamed.acct, reps.name
from renamed
join reps on renamed.rep = reps.rep_key

-- case: computed CTE column traces to every table it is computed from
-- join: LEFT OUTER | dbt_prod.staging.stg_orders | dbt_prod.staging.stg_payments
-- join: LEFT OUTER | dbt_prod.staging.stg_orders | dbt_prod.staging.stg_refunds
-- join: INNER | dbt_prod.staging.stg_orders, dbt_prod.staging.stg_payments, dbt_prod.staging.stg_refunds | dbt_prod.analytics.dim_customers
with order_facts as (
  select o.order_id, o.customer_id, coalesce(p.amount, 0) + coalesce(r.amount, 0) as net
  from dbt_prod.staging.stg_orders o
  left join dbt_prod.staging.stg_payments p on p.order_id = o.order_id
  left join dbt_prod.staging.stg_refunds r on r.order_id = o.order_id
)
select c.segment, sum(f.net)
from order_facts f
join dbt_prod.analytics.dim_customers c on c.customer_id = f.customer_id and c.segment_net_floor < f.net
group by 1

-- case: unqualified column over two sources cannot be traced
-- join: INNER | dbt_prod.staging.stg_orders | dbt_prod.staging.stg_customers
-- join: INNER | dbt_prod.staging.stg_orders, dbt_prod.staging.stg_customers | dbt_prod.analytics.fct_shipments
with joined as (
  select order_id, customer_name, amount
  from dbt_prod.staging.stg_orders
  join dbt_prod.staging.stg_customers using (customer_id)
)
select * from joined j
join dbt_prod.analytics.fct_shipments s on s.order_id = j.order_id

-- case: nested WITH inside a CTE
-- join: INNER | raw.crm.customers | raw.crm.orders
with customers as (
  with raw_customers as (select * from raw.crm.customers where not is_deleted)
  select id, region from raw_customers
)
select c.region, count(*) from customers c
join raw.crm.orders o on o.customer_id = c.id
group by 1

-- case: a CTE shadows the table of the same name
-- join: INNER | dbt_prod.analytics.orders_v2 | dbt_prod.analytics.customers
with orders as (
  select * from analytics.orders_v2
)
select * from orders join customers on orders.customer_id = customers.id

-- case: recursive CTE with a column list
-- join: INNER | hr.core.employees | hr.core.employees
-- join: INNER | hr.core.employees | hr.core.departments
with recursive org (employee_id, manager_id, depth) as (
  select employee_id, manager_id, 0 from hr.core.employees where manager_id is null
  union all
  select e.employee_id, e.manager_id, org.depth + 1
  from hr.core.employees e
  join org on e.manager_id = org.employee_id
)
select org.employee_id, d.name
from org
join hr.core.departments d on d.head_id = org.manager_id

-- case: CTEs without AS
-- join: INNER | dbt_prod.analytics.stg_orders | dbt_prod.analytics.stg_customers
with orders (select * from stg_orders),
customers (a, b) as (select id, name from stg_customers)
select * from orders o join customers c on c.a = o.customer_id
